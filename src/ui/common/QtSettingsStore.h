#pragma once
// The settings store of the GUI: QSettings under "Kestrelworks"/"Notarium" (on Linux an INI
// file in the XDG configuration folder). Sections are groups; binary records are stored as
// QByteArray holding their exact bytes.

#include "app/SettingsStore.h"

#include <QSettings>
#include <QString>
#include <memory>

class CQtSettingsStore : public ISettingsStore {
public:
    // The user's normal settings.
    CQtSettingsStore();
    // An INI file of its own (tests, portable set-ups).
    explicit CQtSettingsStore(const QString& iniPath);

    std::optional<int> GetInt(const std::string& section, const std::string& name) override;
    std::optional<std::string> GetString(const std::string& section,
                                         const std::string& name) override;
    std::optional<std::vector<BYTE>> GetBinary(const std::string& section,
                                               const std::string& name) override;
    void WriteInt(const std::string& section, const std::string& name, int value) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    void WriteBinary(const std::string& section, const std::string& name,
                     const std::vector<BYTE>& value) override;

    void Sync() { m_settings->sync(); }
    QSettings& Settings() { return *m_settings; }

private:
    std::unique_ptr<QSettings> m_settings;
    static QString Key(const std::string& section, const std::string& name);
};
