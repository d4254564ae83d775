// A settings list that more than one owner reads and changes. A gateway reads its live
// settings through one; the gateway setup edits through another and, once saved, hands the
// running gateway the list it edits (WriteConfigToGateway), so every later edit acts at once.
// Assigning a SettingsList replaces the contents of the list in use; share() switches the
// handle to another list. Reading and writing go through the SettingsList operations.
#pragma once
#include "app/config/settingslist.h"

#include <memory>

class SharedSettingsList {
public:
    SharedSettingsList() : m_list(std::make_shared<SettingsList>()) {}
    SharedSettingsList(const SharedSettingsList&) = delete;
    SharedSettingsList& operator=(const SharedSettingsList&) = delete;
    SharedSettingsList& operator=(const SettingsList& list)
    {
        *m_list = list;
        return *this;
    }

    // From now on this handle reads and writes that list (nullptr changes nothing).
    void share(std::shared_ptr<SettingsList> list)
    {
        if (list)
            m_list = std::move(list);
    }
    const std::shared_ptr<SettingsList>& shared() const { return m_list; }

    operator SettingsList&() { return *m_list; }
    operator const SettingsList&() const { return *m_list; }
    SettingsList& list() { return *m_list; }
    const SettingsList& list() const { return *m_list; }

    QString value(const QString& name) const { return m_list->value(name); }
    bool boolValue(const QString& name) const { return m_list->boolValue(name); }
    int intValue(const QString& name, int fallback) const { return m_list->intValue(name, fallback); }
    bool contains(const QString& name) const { return m_list->contains(name); }
    void setValue(const QString& name, const QString& value) { m_list->setValue(name, value); }
    void setBool(const QString& name, bool v) { m_list->setBool(name, v); }
    void setInt(const QString& name, qint64 v) { m_list->setInt(name, v); }
    void remove(const QString& name) { m_list->remove(name); }
    void clear() { m_list->clear(); }
    int size() const { return m_list->size(); }
    const QStringList& lines() const { return m_list->lines(); }
    bool operator==(const SettingsList& other) const { return *m_list == other; }

private:
    std::shared_ptr<SettingsList> m_list;
};
