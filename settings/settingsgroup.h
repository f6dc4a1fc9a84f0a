#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

class QColor;
class QLineEdit;
class QWidget;

// One named group of settings: every key with its current value. The type of
// the value a key is registered with stays the key's type for the whole run;
// values read back from the settings store or from widgets are converted to it.
//
// Widgets are bound to keys by object name: the widget for a key is a
// descendant named after the key plus a suffix that depends on the value's
// type ("Box" check box or other checkable button, "Combo" combo box, "Spin"
// spin box, "Edit" line edit, "List" list widget), so a settings page needs
// no per-key code.
class SettingsGroup
{
public:
    explicit SettingsGroup(const QString& name = QString());

    void addKey(const QString& key, const QVariant& value);
    // addKey(key, defaultValue), chainable.
    SettingsGroup& operator<<(const QString& key);

    // The group's section of the application's settings store.
    void readSettings();
    void writeSettings() const;

    // One value from or to the widget that belongs to the key; false when
    // `widget` has no such descendant. On reading, `value`'s type on entry
    // selects the widget kinds looked for.
    static bool readFromWidget(const QWidget* widget, const QString& key, QVariant& value);
    static bool writeToWidget(QWidget* widget, const QString& key, const QVariant& value);

    // Every key of the group, or only those in `keyList` when it is not empty.
    void readFromWidget(const QWidget* widget, const QStringList& keyList = QStringList());
    void writeToWidget(QWidget* widget, const QStringList& keyList = QStringList()) const;

    // Shows a colour as the background of its edit: a fresh palette whose
    // Base brush, in every colour group, is the colour.
    static void showColour(QLineEdit* edit, const QColor& colour);

    QString name;
    QHash<QString, QVariant> values;
    // What operator<< gives the keys it adds; invalid until the caller sets it.
    QVariant defaultValue;
    QSet<QString> keys;
};

// All settings groups, in the order they were added (the order of the pages
// of the settings dialog), with an index from key to group.
//
// A name or key that was never registered cannot crash a caller: group()
// then returns an empty placeholder group and operator[] an invalid
// placeholder value. Both placeholders are reset on every such lookup, so
// nothing written to them is ever seen again or stored.
class GlobalSettings
{
public:
    GlobalSettings& addGroup(const SettingsGroup& group);
    GlobalSettings& operator<<(const SettingsGroup& group) { return addGroup(group); }
    // Forgets every group, so that the catalogue can be registered afresh.
    void clear();

    SettingsGroup& group(const QString& name);
    bool hasGroup(const QString& name) const;
    QVariant& operator[](const QString& key);
    QVariant value(const QString& key) const;
    // The group that owns the key, or an empty name.
    QString groupOfKey(const QString& key) const { return keyGroups.value(key); }

    void readSettings();
    void writeSettings() const;

    void readFromWidget(const QWidget* widget, const QStringList& keyList);
    void writeToWidget(QWidget* widget, const QStringList& keyList);

    QList<SettingsGroup> groups;
    QHash<QString, QString> keyGroups;

private:
    int indexOfGroup(const QString& name) const;

    // The last group looked up by group(): lookups of one name in a row do
    // not rescan the list. Kept per collection, so that two collections
    // never share a stale index.
    QString cachedName;
    int cachedIndex = 0;
    SettingsGroup placeholderGroup;
    QVariant placeholderValue;
};

// The settings of the whole program, created before main() runs.
extern GlobalSettings gst;
