#include "dialogs/SerialChoice.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>

#include "config/SerialSettings.h"

namespace {

// Each entry's COM number: on Windows the numbers need not follow the list's positions.
constexpr int kPortNumberRole = Qt::UserRole + 1;
// What a port entry is remembered by: what stays the same from one plugging-in to the next.
constexpr int kRememberedRole = Qt::UserRole + 2;

QString RememberedKey(const QComboBox& list, int position)
{
    const QVariant port = list.itemData(position, kRememberedRole);
    return port.isValid() ? port.toString() : list.itemText(position);
}

// The entry a text names: its own text, or its port's name, "COM 2" or "com2" as on the
// command line, with or without the device the entry shows after it.
std::optional<int> PortPositionNamed(const QComboBox& list, const QString& text)
{
    if (const int exact = list.findText(text, Qt::MatchExactly); exact >= 0) return exact;
    const QString name = text.section(QLatin1Char('('), 0, 0).trimmed();
    const std::optional<int> number = ParseComNumber(name.toStdString());
    if (!number) return std::nullopt;
    if (const int entry = list.findData(*number, kPortNumberRole); entry >= 0) return entry;
    return std::nullopt;
}

// Typing a port's name into a port list chooses that port. A list that cannot be typed into
// would search its entries only as far as the blank in "COM 2", which opens it; one that can
// would take only an entry's whole text.
class CPortNameTyping final : public QObject {
public:
    explicit CPortNameTyping(QComboBox* list) : QObject(list), list(list)
    {
        list->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (QLineEdit* edit = list->lineEdit()) {
            // Made editable after it was made: the field takes the keys and the focus.
            if (!watchingEdit) edit->installEventFilter(this);
            watchingEdit = true;
            if (IsEnter(event) || event->type() == QEvent::FocusOut) Choose(edit->text());
            return false;
        }
        return event->type() == QEvent::KeyPress && TypeAhead(*static_cast<QKeyEvent*>(event));
    }

private:
    static bool IsEnter(const QEvent* event)
    {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<const QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }

    // Characters typed in quick succession make a name; true when the key was one of them.
    bool TypeAhead(const QKeyEvent& key)
    {
        const QString text = key.text();
        const bool goesOn = !typed.isEmpty() && typedAt.isValid() &&
                            typedAt.elapsed() < QApplication::keyboardInputInterval();
        const bool character = text.size() == 1 && text[0].isPrint() &&
                               !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        // A blank that starts nothing still opens the list.
        if (!character || (text == QStringLiteral(" ") && !goesOn)) {
            typed.clear();
            return false;
        }
        typed = goesOn ? typed + text : text;
        typedAt.start();
        if (Choose(typed)) return true;
        // On the way to a name: the first entry that starts with what was typed so far.
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemText(i).startsWith(typed, Qt::CaseInsensitive)) {
                list->setCurrentIndex(i);
                break;
            }
        }
        return true;
    }

    bool Choose(const QString& text)
    {
        const std::optional<int> position = PortPositionNamed(*list, text);
        if (position) list->setCurrentIndex(*position);
        return position.has_value();
    }

    QComboBox* list;
    bool watchingEdit = false;
    QString typed;  // typed into a list that cannot be typed into
    QElapsedTimer typedAt;
};

// The entry chosen in a port or rate list; in one that can be typed into, a port's name
// counts as its entry.
std::optional<int> ChosenEntry(const QComboBox& list)
{
    return list.isEditable() ? PortPositionNamed(list, list.currentText()) : ChosenPosition(list);
}

}  // namespace

QComboBox* NewPortList(const char* name, const std::vector<SerialPortEntry>& ports)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    for (const SerialPortEntry& port : ports) {
        const std::string device =
            port.device.empty() ? PortLabel(port.number, "", false) : port.device;
        list->addItem(QString::fromStdString(port.label), QString::fromStdString(device));
        list->setItemData(list->count() - 1, port.number, kPortNumberRole);
        // An adapter by the name of its by-id link, which names the adapter itself.
        const std::string key =
            port.byId.empty() ? device : port.byId.substr(port.byId.rfind('/') + 1);
        list->setItemData(list->count() - 1, QString::fromStdString(key), kRememberedRole);
    }
    list->setCurrentIndex(0);
    new CPortNameTyping(list);
    return list;
}

QComboBox* NewBaudList(const char* name)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < kDialogBaudCount; ++i) list->addItem(QString::number(kBaudRates[i]));
    list->setCurrentIndex(kDefaultBaudIndex);
    return list;
}

std::optional<int> ChosenPosition(const QComboBox& list)
{
    const int position = list.isEditable() ? list.findText(list.currentText(), Qt::MatchExactly)
                                           : list.currentIndex();
    if (position < 0) return std::nullopt;
    return position;
}

std::optional<std::string> ChosenPort(const QComboBox& list)
{
    const std::optional<int> position = ChosenEntry(list);
    if (!position) return std::nullopt;
    return list.itemData(*position).toString().toStdString();
}

std::optional<int> ChosenBaudRate(const QComboBox& list)
{
    const std::optional<int> position = ChosenPosition(list);
    if (!position || *position >= kDialogBaudCount) return std::nullopt;
    return kBaudRates[*position];
}

std::unique_ptr<QSettings> ProgramSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("weirlink"),
                                       QStringLiteral("weirlink-config"));
}

void RememberChoices(const QString& dialog, const QList<const QComboBox*>& lists)
{
    const std::unique_ptr<QSettings> settings = ProgramSettings();
    for (const QComboBox* list : lists) {
        if (const std::optional<int> position = ChosenEntry(*list))
            settings->setValue(dialog + QLatin1Char('/') + list->objectName(),
                               RememberedKey(*list, *position));
    }
}

void PreselectRemembered(const QString& dialog, const QList<QComboBox*>& lists)
{
    const std::unique_ptr<QSettings> settings = ProgramSettings();
    for (QComboBox* list : lists) {
        const QVariant key = settings->value(dialog + QLatin1Char('/') + list->objectName());
        if (!key.isValid()) continue;
        for (int i = 0; i < list->count(); ++i) {
            if (RememberedKey(*list, i) == key.toString()) {
                list->setCurrentIndex(i);
                break;
            }
        }
    }
}
