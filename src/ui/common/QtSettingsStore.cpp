#include "ui/common/QtSettingsStore.h"

CQtSettingsStore::CQtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Kestrelworks"),
                                             QStringLiteral("Notarium"))) {}

CQtSettingsStore::CQtSettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QString CQtSettingsStore::Key(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(name);
}

std::optional<int> CQtSettingsStore::GetInt(const std::string& section, const std::string& name) {
    const QVariant v = m_settings->value(Key(section, name));
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

std::optional<std::string> CQtSettingsStore::GetString(const std::string& section,
                                                       const std::string& name) {
    const QVariant v = m_settings->value(Key(section, name));
    if (!v.isValid())
        return std::nullopt;
    return v.toString().toStdString();
}

std::optional<std::vector<BYTE>> CQtSettingsStore::GetBinary(const std::string& section,
                                                             const std::string& name) {
    const QVariant v = m_settings->value(Key(section, name));
    if (!v.isValid() || v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QByteArray bytes = v.toByteArray();
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

void CQtSettingsStore::WriteInt(const std::string& section, const std::string& name, int value) {
    m_settings->setValue(Key(section, name), value);
}

void CQtSettingsStore::WriteString(const std::string& section, const std::string& name,
                                   const std::string& value) {
    m_settings->setValue(Key(section, name), QString::fromStdString(value));
}

void CQtSettingsStore::WriteBinary(const std::string& section, const std::string& name,
                                   const std::vector<BYTE>& value) {
    const QByteArray bytes(reinterpret_cast<const char*>(value.data()),
                           static_cast<qsizetype>(value.size()));
    m_settings->setValue(Key(section, name), bytes);
}
