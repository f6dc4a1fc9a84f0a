#include "settingsgroup.h"

#include <QAbstractButton>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QSettings>
#include <QSpinBox>

GlobalSettings gst;

namespace {

bool isInteger(int type)
{
    return type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::LongLong
           || type == QMetaType::ULongLong;
}

// The value as it was read from a store or a widget, in the key's own type.
// A value that cannot be converted leaves the key as it was: a damaged
// entry in the store must not turn, say, the error colour into no colour.
QVariant inTypeOf(const QVariant& current, const QVariant& read)
{
    if (!current.isValid() || read.userType() == current.userType())
        return read;
    QVariant converted = read;
    if (!converted.convert(current.userType()))
        return current;
    return converted;
}

QListWidget* listWidgetFor(const QWidget* widget, const QString& key)
{
    if (auto* list = widget->findChild<QListWidget*>(key + QLatin1String("List")))
        return list;
    return widget->findChild<QListWidget*>(key);
}

} // namespace

SettingsGroup::SettingsGroup(const QString& name) : name(name) {}

void SettingsGroup::addKey(const QString& key, const QVariant& value)
{
    keys.insert(key);
    values.insert(key, value);
}

SettingsGroup& SettingsGroup::operator<<(const QString& key)
{
    addKey(key, defaultValue);
    return *this;
}

void SettingsGroup::readSettings()
{
    QSettings settings;
    settings.beginGroup(name);
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QVariant read = inTypeOf(it.value(), settings.value(it.key(), it.value()));
        if (read != it.value())
            it.value() = read;
    }
    settings.endGroup();
}

void SettingsGroup::writeSettings() const
{
    QSettings settings;
    settings.beginGroup(name);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.endGroup();
}

bool SettingsGroup::readFromWidget(const QWidget* widget, const QString& key, QVariant& value)
{
    if (!widget)
        return false;
    const int type = value.userType();
    bool found = false;
    if (type == QMetaType::Bool) {
        if (const auto* box = widget->findChild<QAbstractButton*>(key + QLatin1String("Box"))) {
            value = box->isChecked();
            found = true;
        }
        if (const auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo"))) {
            value = combo->currentIndex() != 0;
            found = true;
        }
    } else if (isInteger(type)) {
        QVariant read;
        if (const auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo")))
            read = combo->currentIndex();
        if (const auto* spin = widget->findChild<QSpinBox*>(key + QLatin1String("Spin")))
            read = spin->value();
        if (read.isValid()) {
            value = inTypeOf(value, read);
            found = true;
        }
    } else if (type == QMetaType::QString) {
        if (const auto* edit = widget->findChild<QLineEdit*>(key + QLatin1String("Edit"))) {
            value = edit->text();
            found = true;
        }
        if (const auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo"))) {
            value = combo->currentText();
            found = true;
        }
    } else if (type == QMetaType::QStringList) {
        if (const QListWidget* list = listWidgetFor(widget, key)) {
            QStringList texts;
            for (int row = 0; row < list->count(); ++row)
                texts << list->item(row)->text();
            value = texts;
            found = true;
        }
    } else if (type == QMetaType::QColor) {
        if (const auto* edit = widget->findChild<QLineEdit*>(key + QLatin1String("Edit"))) {
            value = edit->palette().color(QPalette::Base);
            found = true;
        }
    }
    return found;
}

bool SettingsGroup::writeToWidget(QWidget* widget, const QString& key, const QVariant& value)
{
    if (!widget)
        return false;
    const int type = value.userType();
    bool found = false;
    if (type == QMetaType::Bool) {
        if (auto* box = widget->findChild<QAbstractButton*>(key + QLatin1String("Box"))) {
            box->setChecked(value.toBool());
            found = true;
        }
        if (auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo"))) {
            combo->setCurrentIndex(value.toBool() ? 1 : 0);
            found = true;
        }
    } else if (isInteger(type)) {
        if (auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo"))) {
            const qlonglong index = qBound<qlonglong>(0, value.toLongLong(), combo->count() - 1);
            combo->setCurrentIndex(int(qMax<qlonglong>(0, index)));
            found = true;
        }
        if (auto* spin = widget->findChild<QSpinBox*>(key + QLatin1String("Spin"))) {
            spin->setValue(int(qBound<qlonglong>(INT_MIN, value.toLongLong(), INT_MAX)));
            found = true;
        }
    } else if (type == QMetaType::QString) {
        if (auto* edit = widget->findChild<QLineEdit*>(key + QLatin1String("Edit"))) {
            edit->setText(value.toString());
            found = true;
        }
        if (auto* combo = widget->findChild<QComboBox*>(key + QLatin1String("Combo"))) {
            combo->setCurrentText(value.toString());
            found = true;
        }
    } else if (type == QMetaType::QStringList) {
        if (QListWidget* list = listWidgetFor(widget, key)) {
            const QStringList texts = value.toStringList();
            for (int row = 0; row < texts.size(); ++row)
                list->insertItem(row, texts.at(row));
            found = true;
        }
    } else if (type == QMetaType::QColor) {
        if (auto* edit = widget->findChild<QLineEdit*>(key + QLatin1String("Edit"))) {
            const QColor colour = value.value<QColor>();
            showColour(edit, colour);
            if (auto* spin = widget->findChild<QSpinBox*>(key + QLatin1String("AlphaSpin")))
                spin->setValue(qRound(colour.alphaF() * 100));
            found = true;
        }
    }
    return found;
}

void SettingsGroup::showColour(QLineEdit* edit, const QColor& colour)
{
    QPalette palette;
    palette.setBrush(QPalette::Base, QBrush(colour));
    edit->setPalette(palette);
}

void SettingsGroup::readFromWidget(const QWidget* widget, const QStringList& keyList)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (!keyList.isEmpty() && !keyList.contains(it.key()))
            continue;
        QVariant value = it.value();
        if (readFromWidget(widget, it.key(), value))
            it.value() = value;
    }
}

void SettingsGroup::writeToWidget(QWidget* widget, const QStringList& keyList) const
{
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (keyList.isEmpty() || keyList.contains(it.key()))
            writeToWidget(widget, it.key(), it.value());
    }
}

GlobalSettings& GlobalSettings::addGroup(const SettingsGroup& group)
{
    groups.append(group);
    for (auto it = group.values.constBegin(); it != group.values.constEnd(); ++it)
        keyGroups.insert(it.key(), group.name);
    return *this;
}

void GlobalSettings::clear()
{
    groups.clear();
    keyGroups.clear();
    cachedName.clear();
    cachedIndex = 0;
}

int GlobalSettings::indexOfGroup(const QString& name) const
{
    for (int index = 0; index < groups.size(); ++index) {
        if (groups.at(index).name == name)
            return index;
    }
    return -1;
}

bool GlobalSettings::hasGroup(const QString& name) const
{
    return indexOfGroup(name) >= 0;
}

SettingsGroup& GlobalSettings::group(const QString& name)
{
    if (name != cachedName || cachedIndex >= groups.size() || groups.at(cachedIndex).name != name) {
        const int index = indexOfGroup(name);
        if (index < 0) {
            placeholderGroup = SettingsGroup(name);
            return placeholderGroup;
        }
        cachedName = name;
        cachedIndex = index;
    }
    return groups[cachedIndex];
}

QVariant& GlobalSettings::operator[](const QString& key)
{
    const QString groupName = keyGroups.value(key);
    if (groupName.isEmpty() || !hasGroup(groupName)) {
        placeholderValue = QVariant();
        return placeholderValue;
    }
    return group(groupName).values[key];
}

QVariant GlobalSettings::value(const QString& key) const
{
    const int index = indexOfGroup(keyGroups.value(key));
    return index < 0 ? QVariant() : groups.at(index).values.value(key);
}

void GlobalSettings::readSettings()
{
    for (SettingsGroup& g : groups)
        g.readSettings();
}

void GlobalSettings::writeSettings() const
{
    for (const SettingsGroup& g : groups)
        g.writeSettings();
}

void GlobalSettings::readFromWidget(const QWidget* widget, const QStringList& keyList)
{
    for (const QString& key : keyList) {
        const QString groupName = keyGroups.value(key);
        if (groupName.isEmpty() || !hasGroup(groupName))
            continue;
        QVariant& current = group(groupName).values[key];
        QVariant value = current;
        if (SettingsGroup::readFromWidget(widget, key, value))
            current = value;
    }
}

void GlobalSettings::writeToWidget(QWidget* widget, const QStringList& keyList)
{
    for (const QString& key : keyList) {
        const QString groupName = keyGroups.value(key);
        if (!groupName.isEmpty() && hasGroup(groupName))
            SettingsGroup::writeToWidget(widget, key, group(groupName).values.value(key));
    }
}
