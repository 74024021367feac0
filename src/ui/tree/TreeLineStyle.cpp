#include "ui/tree/TreeLineStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <memory>

namespace {

class CTreeLineStyle : public QProxyStyle {
public:
    CTreeLineStyle() : m_pLines(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch && m_pLines) {
            m_pLines->drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    std::unique_ptr<QStyle> m_pLines; // the style whose branches have lines and boxes
};

} // namespace

void SetTreeLineStyle(QAbstractItemView* view) {
    static QPointer<CTreeLineStyle> style;
    if (!style) {
        style = new CTreeLineStyle;
        style->setParent(qApp);
    }
    view->setStyle(style);
}
