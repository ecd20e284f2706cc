#include "accessibility.h"
#include "accessiblerows.h"
#include "kelvaradisplay.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

#include <cstdlib>
#include <new>

using namespace Qt::StringLiterals;

namespace {

template <class Widget>
Widget *child(QWidget *dialog, const char *name)
{
    return dialog->findChild<Widget *>(QString::fromLatin1(name));
}

// The widgets a user works with, found by object name.
struct Form
{
    explicit Form(QWidget *dialog)
        : search(child<QLineEdit>(dialog, "lineEditSearch")), list(child<QListView>(dialog, "listView"))
        , selectAll(child<QPushButton>(dialog, "selectButton")), clear(child<QPushButton>(dialog, "clearButton"))
        , assayName(child<QLabel>(dialog, "assayNameLabel"))
        , displayName(child<QLineEdit>(dialog, "lineEditDisplayName"))
        , uncertainty(child<QLineEdit>(dialog, "lineEditUncertainty"))
        , count(child<QCheckBox>(dialog, "cbDisplayCount")), values(child<QCheckBox>(dialog, "cbDisplayValues"))
        , arithmetic(child<QRadioButton>(dialog, "rbArithmetic")), geometric(child<QRadioButton>(dialog, "rbgeometric"))
        , detailsBox(child<QGroupBox>(dialog, "groupBox")), buttons(child<QDialogButtonBox>(dialog, "buttonBox"))
    {
    }

    QStandardItemModel *assays() const
    {
        return qobject_cast<QStandardItemModel *>(qobject_cast<QAbstractProxyModel *>(list->model())->sourceModel());
    }

    QModelIndex shownRow(const QString &name) const
    {
        return list->model()->match(list->model()->index(0, 0), Qt::UserRole, name, 1, Qt::MatchExactly).value(0);
    }

    QStringList names(const QModelIndexList &indexes) const
    {
        QStringList result;
        for (const QModelIndex &index : indexes)
            result << index.data(Qt::UserRole).toString();
        return result;
    }

    QStringList shownNames() const
    {
        QModelIndexList shown;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            shown << list->model()->index(row, 0);
        return names(shown);
    }

    QStringList selectedNames() const { return names(list->selectionModel()->selectedRows()); }

    // Every row, hidden ones too, as its name and + for checked or - for unchecked.
    QStringList rows() const
    {
        QStringList result;
        for (int row = 0; row < assays()->rowCount(); ++row) {
            const QStandardItem *item = assays()->item(row);
            result << item->text() + QLatin1Char(item->checkState() == Qt::Checked ? '+' : '-');
        }
        return result;
    }

    // The assay name as its tool tip shows it: QToolTip takes a text that
    // looks like markup for rich text.
    QString nameInToolTip() const
    {
        const QString toolTip = assayName->toolTip();
        return Qt::mightBeRichText(toolTip) ? QTextDocumentFragment::fromHtml(toolTip).toPlainText() : toolTip;
    }

    // The details as the user sees them.
    QStringList details() const
    {
        return {nameInToolTip(), assayName->text(), displayName->text(), uncertainty->text(),
                QString::number(count->isChecked()), QString::number(values->isChecked()),
                QString::number(arithmetic->isChecked()), QString::number(geometric->isChecked())};
    }

    QLineEdit *search;
    QListView *list;
    QPushButton *selectAll, *clear;
    QLabel *assayName;
    QLineEdit *displayName, *uncertainty;
    QCheckBox *count, *values;
    QRadioButton *arithmetic, *geometric;
    QGroupBox *detailsBox;
    QDialogButtonBox *buttons;
};

QJsonObject stored(const KelvaraDisplay &dialog, const QString &name)
{
    return QJsonDocument::fromJson(dialog.displayData()).object().value(name).toObject();
}

// The text the output carries for one key of one assay, as written.
QString writtenValue(const KelvaraDisplay &dialog, const QString &key)
{
    const QRegularExpression pattern(QLatin1Char('"') + key + u"\": ([^,\n]*)"_s);
    return pattern.match(QString::fromUtf8(dialog.displayData())).captured(1);
}

void expectMessages(std::initializer_list<const char *> starts)
{
    for (const char *start : starts)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QLatin1Char('^') + QLatin1String(start)));
}

// A first show also delivers the resize that was pending while hidden.
bool showFirstTime(QWidget *dialog)
{
    expectMessages({"Resizing: ", "Showing: "});
    dialog->show();
    return QTest::qWaitForWindowExposed(dialog);
}

// Whether the screen shows the widget as a fresh rendering does: a view that
// missed a change still shows the old picture.
bool showsAsRendered(QWidget *widget)
{
    const QPoint at = widget->mapTo(widget->window(), QPoint());
    const QPixmap onScreen = widget->screen()->grabWindow(widget->window()->winId(), at.x(), at.y(),
                                                           widget->width(), widget->height());
    return onScreen.toImage().convertToFormat(QImage::Format_RGB32)
        == widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void resizeShown(QWidget *dialog, int width, int height)
{
    expectMessages({"Resizing: "});
    dialog->resize(width, height);
}

void clickRow(const Form &form, const QString &name)
{
    const QRect rect = form.list->visualRect(form.shownRow(name));
    QTest::mouseClick(form.list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickCheckBox(const Form &form, const QString &name)
{
    QStyleOptionViewItem option;
    option.initFrom(form.list);
    option.rect = form.list->visualRect(form.shownRow(name));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = form.list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator,
                                                          &option, form.list);
    QTest::mouseClick(form.list->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
}

void retype(QLineEdit *edit, const QString &text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// The edits a user leaves in the details: they are only in the store once saved.
void editDetails(const Form &form, const QString &alias)
{
    retype(form.displayName, alias);
    retype(form.uncertainty, u"0.10"_s);
    QTest::mouseClick(form.count, Qt::LeftButton);
    QTest::mouseClick(form.geometric, Qt::LeftButton);
}

// Checks or unchecks each row the way a click on its box does, one at a
// time; hidden rows too, as a user could before typing the search text.
void setRowByRow(const Form &form, Qt::CheckState state)
{
    QStandardItemModel *model = form.assays();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->item(row)->checkState() != state)
            model->setData(model->index(row, 0), state, Qt::CheckStateRole);
    }
}

// Collects the dialog's show and resize messages while it lives.
class MessageRecorder
{
public:
    MessageRecorder() { previous = qInstallMessageHandler(record); }
    ~MessageRecorder() { qInstallMessageHandler(previous); messages.clear(); }

    static inline QStringList messages;

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtDebugMsg
            && (message.startsWith(QLatin1String("Resizing: ")) || message.startsWith(QLatin1String("Showing: "))))
            messages << message;
        else
            previous(type, context, message);
    }

    static inline QtMessageHandler previous = nullptr;
};

// While set, every allocation through operator new fails, as when memory runs out.
bool allocationsFail = false;

const QByteArray ThreeAssays = R"({
    "alpha": {"alias": "A", "default_uncertainty": 0.5, "include_count": true},
    "beta": {"selected": false, "factor": true, "include_values": true},
    "gamma": {"selected": false, "alias": "G", "default_uncertainty": 3}
})";

} // namespace

void *operator new(std::size_t size)
{
    if (allocationsFail)
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// Qt allocates with this one too; memory from both goes to the delete below.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return allocationsFail ? nullptr : std::malloc(size ? size : 1);
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

class tst_KelvaraDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void shouldHaveDefaultValuesOnCreation();
    void shouldShowFormTexts_data();
    void shouldShowFormTexts();
    void shouldHaveSlotsInMetaObjectOrder_data();
    void shouldHaveSlotsInMetaObjectOrder();
    void shouldFollowTabOrder();
    void shouldKeepMeanButtonsExclusive();
    void shouldNeverEditListItems();
    void shouldGiveExtraHeightToList();

    void shouldReadDisplayData_data();
    void shouldReadDisplayData();
    void shouldWriteDisplayData_data();
    void shouldWriteDisplayData();
    void shouldKeepExtraKeysUntilAssayIsSaved();
    void shouldDropUnsavedEditsOnNewData();
    void shouldSaveAssayWithEmptyName();

    void shouldSelectRowWhenChecked_data();
    void shouldSelectRowWhenChecked();
    void shouldSaveOldAndLoadNewAssayOnSelectionChange();
    void shouldTypeAheadAcrossSpaces();
    void shouldFilterBySearchText_data();
    void shouldFilterBySearchText();
    void shouldKeepCurrentAssayWhenSearchHidesIt_data();
    void shouldKeepCurrentAssayWhenSearchHidesIt();
    void shouldSelectAllLikeCheckingRowByRow_data();
    void shouldSelectAllLikeCheckingRowByRow();
    void shouldClearAllRows_data();
    void shouldClearAllRows();
    void shouldSaveOnlyWhenAccepted_data();
    void shouldSaveOnlyWhenAccepted();
    void shouldElideLongAssayName();
    void shouldScrollToTheEndOfTheWidestShownName_data();
    void shouldScrollToTheEndOfTheWidestShownName();
    void shouldWriteOneMessagePerShowAndResize();

    void shouldKeepValuesWhenBrowsing_data();
    void shouldKeepValuesWhenBrowsing();
    void shouldSaveTypedUncertaintyAsShown_data();
    void shouldSaveTypedUncertaintyAsShown();
    void shouldKeepEditsOnResize();

    void shouldNameEveryControl_data();
    void shouldNameEveryControl();
    void shouldWorkByKeyboardAlone();
};

void tst_KelvaraDisplay::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_KelvaraDisplay::shouldHaveDefaultValuesOnCreation()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    QCOMPARE(dialog.objectName(), u"KelvaraDisplay"_s);
    QCOMPARE(dialog.windowTitle(), u"Kelvara Data"_s);
    QCOMPARE(dialog.size(), QSize(793, 796));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(form.assayName->text(), u"TextLabel"_s);
    QVERIFY(form.search->text().isEmpty());
    QVERIFY(form.displayName->text().isEmpty());
    QVERIFY(form.displayName->placeholderText().isEmpty());
    QVERIFY(form.uncertainty->text().isEmpty());
    QVERIFY(!form.count->isChecked());
    QVERIFY(!form.values->isChecked());
    QVERIFY(form.arithmetic->isChecked());
    QVERIFY(!form.geometric->isChecked());
    QCOMPARE(form.list->model()->rowCount(), 0);
    QCOMPARE(form.list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(form.buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(form.assayName->maximumHeight(), 20);
    QCOMPARE(form.assayName->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(form.assayName->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(dialog.displayData(), QByteArray("{\n}\n"));
}

void tst_KelvaraDisplay::shouldShowFormTexts_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *object, const char *property, const char *text) {
        QTest::addRow("%s.%s", object, property)
            << QString::fromLatin1(object) << QByteArray(property) << QString::fromLatin1(text);
    };
    row("label", "text", "Available assays");
    row("lineEditSearch", "toolTip", "Enter text to search assay list");
    row("lineEditSearch", "placeholderText", "Type here to search assay list");
    row("selectButton", "toolTip", "Select all available assays");
    row("selectButton", "text", "Select all");
    row("clearButton", "toolTip", "Clear all selections");
    row("clearButton", "text", "Clear");
    row("groupBox", "title", "Details:");
    row("label_2", "text", "Display name:");
    row("label_3", "text", "Default uncertainty:");
    row("lineEditDisplayName", "toolTip", "Specify the column name for Halvion to use for this assay");
    row("label_4", "text", "Assay name:");
    row("lineEditUncertainty", "toolTip", "Specify a value to use for uncertainty when there are "
                                          "insufficient data to calculate a standard deviation");
    row("lineEditUncertainty", "placeholderText", "0.0");
    row("cbDisplayCount", "text", "Display count (n) of all individual values in separate column");
    row("cbDisplayValues", "text", "Display all individual values in separate column");
    row("groupBox_2", "title", "Aggregation:");
    row("rbArithmetic", "toolTip", "Calculate the arithmetic mean of all values when aggregating data");
    row("rbArithmetic", "text", "Arithmetic mean");
    row("rbgeometric", "toolTip", "Calculate the geometric mean of all values when aggregating data");
    row("rbgeometric", "text", "Geometric mean");
}

void tst_KelvaraDisplay::shouldShowFormTexts()
{
    QFETCH(QString, objectName);
    QFETCH(QByteArray, property);
    QFETCH(QString, text);

    KelvaraDisplay dialog;
    const QWidget *widget = dialog.findChild<QWidget *>(objectName);
    QVERIFY(widget);
    QCOMPARE(widget->property(property.constData()).toString(), text);
}

void tst_KelvaraDisplay::shouldHaveSlotsInMetaObjectOrder_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("access");
    QTest::addColumn<QByteArray>("returnType");
    QTest::addColumn<QByteArrayList>("parameterNames");
    QTest::addColumn<bool>("isConst");

    int index = 0;
    const auto row = [&index](const char *signature, QMetaMethod::Access access, const char *returnType,
                              QByteArrayList names, bool isConst = false) {
        QTest::newRow(signature) << index++ << QByteArray(signature) << int(access)
                                 << QByteArray(returnType) << names << isConst;
    };
    row("run()", QMetaMethod::Public, "bool", {});
    row("setDisplayData(QByteArray)", QMetaMethod::Public, "void", {"display_data"});
    row("displayData()", QMetaMethod::Public, "QByteArray", {}, true);
    row("accept()", QMetaMethod::Protected, "void", {});
    row("resizeEvent(QResizeEvent*)", QMetaMethod::Protected, "void", {"event"});
    row("showEvent(QShowEvent*)", QMetaMethod::Protected, "void", {"event"});
    row("selectionChangedSlot(QItemSelection,QItemSelection)", QMetaMethod::Private, "void",
        {"before", "after"});
    row("saveDisplayData()", QMetaMethod::Private, "void", {});
    row("clearSelectionSlot()", QMetaMethod::Private, "void", {});
    row("selectAllSlot()", QMetaMethod::Private, "void", {});
    row("selectOnCheck(QStandardItem*)", QMetaMethod::Private, "void", {""});
}

void tst_KelvaraDisplay::shouldHaveSlotsInMetaObjectOrder()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(int, access);
    QFETCH(QByteArray, returnType);
    QFETCH(QByteArrayList, parameterNames);
    QFETCH(bool, isConst);

    const QMetaObject &meta = KelvaraDisplay::staticMetaObject;
    QCOMPARE(meta.className(), "KelvaraDisplay");
    QCOMPARE(meta.superClass(), &QDialog::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 11);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), meta.classInfoOffset());

    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(method.methodType(), QMetaMethod::Slot);
    QCOMPARE(int(method.access()), access);
    QCOMPARE(method.typeName(), returnType.constData());
    QCOMPARE(method.parameterNames(), parameterNames);
    QCOMPARE(method.isConst(), isConst);
}

void tst_KelvaraDisplay::shouldFollowTabOrder()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    const QList<QWidget *> expected = {
        form.search, form.list, form.selectAll, form.clear, form.displayName, form.uncertainty,
        form.count, form.values, form.arithmetic, form.geometric,
        form.buttons->button(QDialogButtonBox::Ok), form.buttons->button(QDialogButtonBox::Cancel),
    };
    QList<QWidget *> chain;
    for (QWidget *widget = dialog.nextInFocusChain(); widget != &dialog; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget;
    }
    QCOMPARE(chain, expected);
}

void tst_KelvaraDisplay::shouldKeepMeanButtonsExclusive()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    QTest::mouseClick(form.geometric, Qt::LeftButton);
    QVERIFY(form.geometric->isChecked());
    QVERIFY(!form.arithmetic->isChecked());
    QTest::mouseClick(form.arithmetic, Qt::LeftButton);
    QVERIFY(form.arithmetic->isChecked());
    QVERIFY(!form.geometric->isChecked());
}

void tst_KelvaraDisplay::shouldNeverEditListItems()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    QVERIFY(showFirstTime(&dialog));

    const QRect rect = form.list->visualRect(form.shownRow(u"beta"_s));
    QTest::mouseDClick(form.list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::keyClick(form.list, Qt::Key_F2);
    QTest::keyClicks(form.list, u"x"_s);
    QVERIFY(!form.list->viewport()->findChild<QLineEdit *>());
    QCOMPARE(form.shownNames(), QStringList({u"alpha"_s, u"beta"_s, u"gamma"_s}));
}

void tst_KelvaraDisplay::shouldGiveExtraHeightToList()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    QVERIFY(showFirstTime(&dialog));
    const int listHeight = form.list->height();
    const int detailsHeight = form.detailsBox->height();

    resizeShown(&dialog, dialog.width(), dialog.height() + 200);
    QTRY_COMPARE(form.list->height(), listHeight + 200);
    QCOMPARE(form.detailsBox->height(), detailsHeight);
}

void tst_KelvaraDisplay::shouldReadDisplayData_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("empty text") << QByteArray() << QStringList();
    QTest::newRow("not JSON") << QByteArray("assays") << QStringList();
    QTest::newRow("syntax error") << QByteArray(R"({"a": {})") << QStringList();
    QTest::newRow("array") << QByteArray("[]") << QStringList();
    QTest::newRow("number") << QByteArray("5") << QStringList();
    QTest::newRow("character code order")
        << QByteArray(R"({"b": {}, "B": {}, "a": {}, "A": {}, "ångström": {}, "Größe": {}})")
        << QStringList({u"A+"_s, u"B+"_s, u"Größe+"_s, u"a+"_s, u"b+"_s, u"ångström+"_s});
    QTest::newRow("selected values")
        << QByteArray(R"({"missing": {}, "true": {"selected": true}, "false": {"selected": false},
                    "zero": {"selected": 0}, "one": {"selected": 1}, "null": {"selected": null}})")
        << QStringList({u"false-"_s, u"missing+"_s, u"null-"_s, u"one+"_s, u"true+"_s, u"zero-"_s});
    QTest::newRow("members that are not objects")
        << QByteArray(R"({"n": 5, "s": "text", "l": [false], "z": null})")
        << QStringList({u"l+"_s, u"n+"_s, u"s+"_s, u"z+"_s});
    QTest::newRow("empty name") << QByteArray(R"({"": {"selected": false}, "a": {}})")
                                << QStringList({u"-"_s, u"a+"_s});
}

void tst_KelvaraDisplay::shouldReadDisplayData()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, rows);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(text);
    QCOMPARE(form.rows(), rows);
    // The first row is selected and its assay current.
    const QStringList first = rows.isEmpty() ? QStringList() : QStringList(rows.first().chopped(1));
    QCOMPARE(form.selectedNames(), first);
    QCOMPARE(form.nameInToolTip(), first.value(0));
}

void tst_KelvaraDisplay::shouldWriteDisplayData_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("empty") << QByteArray() << QByteArray("{\n}\n");
    QTest::newRow("no selected key") << QByteArray(R"({"a": {}})") << QByteArray(R"({
    "a": {
        "selected": true
    }
}
)");
    QTest::newRow("member that is not an object") << QByteArray(R"({"a": [1]})") << QByteArray(R"({
    "a": {
        "selected": true
    }
}
)");
    QTest::newRow("key order and number forms")
        << QByteArray(R"({"b": {"x": 1.0, "selected": 0, "default_uncertainty": 0.30, "alias": "B", "e": 1e-5},
                    "a": {"big": 12345678901234, "alias": 2}})")
        << QByteArray(R"({
    "a": {
        "alias": 2,
        "big": 12345678901234,
        "selected": true
    },
    "b": {
        "alias": "B",
        "default_uncertainty": 0.3,
        "e": 1e-05,
        "selected": false,
        "x": 1
    }
}
)");
    QTest::newRow("nested extra keys") << QByteArray(R"({"a": {"extra": {"k": [1, "two"]}}})") << QByteArray(R"({
    "a": {
        "extra": {
            "k": [
                1,
                "two"
            ]
        },
        "selected": true
    }
}
)");
}

void tst_KelvaraDisplay::shouldWriteDisplayData()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, written);

    KelvaraDisplay dialog;
    dialog.setDisplayData(text);
    QCOMPARE(dialog.displayData(), written);
    // Writing changes nothing, and reading the output back gives it again.
    QCOMPARE(dialog.displayData(), written);
    dialog.setDisplayData(written);
    QCOMPARE(dialog.displayData(), written);
}

void tst_KelvaraDisplay::shouldKeepExtraKeysUntilAssayIsSaved()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"a": {"extra": 1, "alias": "A"}, "b": {"extra": 2}, "c": 3})"));
    QVERIFY(showFirstTime(&dialog));
    QCOMPARE(stored(dialog, u"a"_s).keys(), QStringList({u"alias"_s, u"extra"_s, u"selected"_s}));

    clickRow(form, u"c"_s);
    const QStringList saved = {u"alias"_s, u"default_uncertainty"_s, u"factor"_s,
                               u"include_count"_s, u"include_values"_s, u"selected"_s};
    QCOMPARE(stored(dialog, u"a"_s).keys(), saved);
    QCOMPARE(stored(dialog, u"a"_s).value(u"alias"_s).toString(), u"A"_s);
    QCOMPARE(stored(dialog, u"b"_s).keys(), QStringList({u"extra"_s, u"selected"_s}));
    QCOMPARE(stored(dialog, u"c"_s).keys(), QStringList({u"selected"_s}));

    clickRow(form, u"b"_s);
    QCOMPARE(stored(dialog, u"c"_s).keys(), saved);

    KelvaraDisplay copy;
    copy.setDisplayData(dialog.displayData());
    QCOMPARE(Form(&copy).rows(), form.rows());
    QCOMPARE(copy.displayData(), dialog.displayData());
}

void tst_KelvaraDisplay::shouldDropUnsavedEditsOnNewData()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    editDetails(form, u"edited"_s);

    // New data that cannot be read for want of memory changes nothing.
    const QByteArray before = dialog.displayData();
    allocationsFail = true;
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, dialog.setDisplayData(QByteArray(R"({"delta": {}})")));
    allocationsFail = false;
    QCOMPARE(dialog.displayData(), before);
    QVERIFY(QMetaObject::invokeMethod(&dialog, "saveDisplayData"));
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"edited"_s);

    dialog.setDisplayData(QByteArray(R"({"delta": {}})"));
    QCOMPARE(form.rows(), QStringList({u"delta+"_s}));
    QCOMPARE(QJsonDocument::fromJson(dialog.displayData()).object().keys(), QStringList({u"delta"_s}));

    dialog.setDisplayData(ThreeAssays);
    QCOMPARE(form.displayName->text(), u"A"_s);
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"A"_s);
}

void tst_KelvaraDisplay::shouldSaveAssayWithEmptyName()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"": {"alias": "none"}, "b": {}})"));
    QVERIFY(showFirstTime(&dialog));
    QCOMPARE(form.selectedNames(), QStringList(QString()));
    QCOMPARE(form.displayName->text(), u"none"_s);

    editDetails(form, u"edited"_s);
    clickRow(form, u"b"_s);
    const QJsonObject saved = stored(dialog, QString());
    QCOMPARE(saved.value(u"alias"_s).toString(), u"edited"_s);
    QCOMPARE(saved.value(u"default_uncertainty"_s).toDouble(), 0.1);
    QCOMPARE(saved.value(u"factor"_s).toBool(), true);
}

void tst_KelvaraDisplay::shouldSelectRowWhenChecked_data()
{
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("click on the check box") << true;
    // What a script's helper does: it sets the check state on the list's model.
    QTest::newRow("check state set on the model") << false;
}

void tst_KelvaraDisplay::shouldSelectRowWhenChecked()
{
    QFETCH(bool, byMouse);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    QVERIFY(showFirstTime(&dialog));
    editDetails(form, u"edited"_s);

    if (byMouse)
        clickCheckBox(form, u"gamma"_s);
    else
        form.list->model()->setData(form.shownRow(u"gamma"_s), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(form.rows(), QStringList({u"alpha+"_s, u"beta-"_s, u"gamma+"_s}));
    QCOMPARE(form.selectedNames(), QStringList({u"gamma"_s}));
    QCOMPARE(form.details().mid(0, 3), QStringList({u"gamma"_s, u"gamma"_s, u"G"_s}));
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"edited"_s);

    // Unchecking, another row or the selected one, leaves the selection
    // alone; Space acts on the row that checking made current.
    form.list->model()->setData(form.shownRow(u"alpha"_s), Qt::Unchecked, Qt::CheckStateRole);
    QTest::keyClick(form.list, Qt::Key_Space);
    QCOMPARE(form.rows(), QStringList({u"alpha-"_s, u"beta-"_s, u"gamma-"_s}));
    QCOMPARE(form.selectedNames(), QStringList({u"gamma"_s}));
    QCOMPARE(form.nameInToolTip(), u"gamma"_s);
}

void tst_KelvaraDisplay::shouldSaveOldAndLoadNewAssayOnSelectionChange()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    QVERIFY(showFirstTime(&dialog));
    QCOMPARE(form.details(), QStringList({u"alpha"_s, u"alpha"_s, u"A"_s, u"0.5"_s, u"1"_s, u"0"_s, u"1"_s, u"0"_s}));

    editDetails(form, u"edited"_s);
    clickRow(form, u"beta"_s);
    QCOMPARE(form.details(), QStringList({u"beta"_s, u"beta"_s, QString(), u"0"_s, u"0"_s, u"1"_s, u"0"_s, u"1"_s}));
    QCOMPARE(stored(dialog, u"alpha"_s), QJsonObject({{u"alias"_s, u"edited"_s}, {u"default_uncertainty"_s, 0.1},
                                                       {u"factor"_s, true}, {u"include_count"_s, false},
                                                       {u"include_values"_s, false}, {u"selected"_s, true}}));

    // Back on alpha, the edits are shown as saved.
    clickRow(form, u"alpha"_s);
    QCOMPARE(form.details(), QStringList({u"alpha"_s, u"alpha"_s, u"edited"_s, u"0.1"_s, u"0"_s, u"0"_s, u"0"_s, u"1"_s}));
}

void tst_KelvaraDisplay::shouldTypeAheadAcrossSpaces()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"CDK9 IC50": {}, "CDK9 Ki": {}, "EGFR": {}})"));
    QVERIFY(showFirstTime(&dialog));
    // However slow the machine, the keys come within the type-ahead interval.
    const int interval = QApplication::keyboardInputInterval();
    const auto restore = qScopeGuard([interval] { QApplication::setKeyboardInputInterval(interval); });
    QApplication::setKeyboardInputInterval(60000);
    form.list->setFocus();
    QTest::keyClicks(form.list, u"cdk9 k"_s);
    QCOMPARE(form.list->currentIndex(), form.shownRow(u"CDK9 Ki"_s));
    QCOMPARE(form.rows(), QStringList({u"CDK9 IC50+"_s, u"CDK9 Ki+"_s, u"EGFR+"_s}));
    // An arrow key or a click ends the typing: Space then checks or unchecks.
    QTest::keyClick(form.list, Qt::Key_Down);
    QTest::keyClick(form.list, Qt::Key_Space);
    QTest::keyClick(form.list, Qt::Key_C);
    clickRow(form, u"CDK9 IC50"_s);
    QTest::keyClick(form.list, Qt::Key_Space);
    QCOMPARE(form.rows(), QStringList({u"CDK9 IC50-"_s, u"CDK9 Ki+"_s, u"EGFR-"_s}));
}

void tst_KelvaraDisplay::shouldFilterBySearchText_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("no text") << QString()
                             << QStringList({u"Alpha"_s, u"Beta"_s, u"GAMMA"_s, u"alphabet"_s});
    QTest::newRow("start") << u"alp"_s << QStringList({u"Alpha"_s, u"alphabet"_s});
    QTest::newRow("other case") << u"ALP"_s << QStringList({u"Alpha"_s, u"alphabet"_s});
    QTest::newRow("middle") << u"mM"_s << QStringList({u"GAMMA"_s});
    QTest::newRow("end") << u"bet"_s << QStringList({u"Beta"_s, u"alphabet"_s});
    QTest::newRow("display name only") << u"zeta"_s << QStringList();
}

void tst_KelvaraDisplay::shouldFilterBySearchText()
{
    QFETCH(QString, search);
    QFETCH(QStringList, shown);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"Alpha": {"alias": "zeta"}, "alphabet": {}, "Beta": {}, "GAMMA": {}})"));
    QTest::keyClicks(form.search, search);
    QCOMPARE(form.shownNames(), shown);
    // The search never changes what is stored.
    QCOMPARE(form.rows(), QStringList({u"Alpha+"_s, u"Beta+"_s, u"GAMMA+"_s, u"alphabet+"_s}));

    // Data read under a search is searched too.
    dialog.setDisplayData(QByteArray(R"({"Alpha": {}, "alphabet": {}, "Beta": {}, "GAMMA": {}})"));
    QCOMPARE(form.shownNames(), shown);
    QCOMPARE(form.selectedNames(), shown.mid(0, 1));
}

void tst_KelvaraDisplay::shouldKeepCurrentAssayWhenSearchHidesIt_data()
{
    QTest::addColumn<QString>("movedBy");
    QTest::addColumn<QString>("leftBy");

    // How the user moved in the list before searching (the list then has a
    // current row), and how the user leaves the hidden assay.
    QTest::newRow("not moved, click") << QString() << u"click"_s;
    QTest::newRow("click, Return in the search") << u"click"_s << u"Return"_s;
    QTest::newRow("arrow key, Enter in the search") << u"arrow"_s << u"Enter"_s;
}

void tst_KelvaraDisplay::shouldKeepCurrentAssayWhenSearchHidesIt()
{
    QFETCH(QString, movedBy);
    QFETCH(QString, leftBy);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    QVERIFY(showFirstTime(&dialog));
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    if (movedBy == u"click"_s) {
        clickRow(form, u"alpha"_s);
    } else if (movedBy == u"arrow"_s) {
        clickRow(form, u"beta"_s);
        QTest::keyClick(form.list, Qt::Key_Up);
    }

    retype(form.displayName, u"first"_s);
    form.search->setFocus();
    QTest::keyClicks(form.search, u"amm"_s);
    QCOMPARE(form.shownNames(), QStringList({u"gamma"_s}));
    QVERIFY(form.selectedNames().isEmpty());
    QCOMPARE(form.nameInToolTip(), u"alpha"_s);
    QCOMPARE(form.displayName->text(), u"first"_s);
    // Leaving no row selected is a change of selection: it saves.
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"first"_s);

    retype(form.displayName, u"edited"_s);
    if (leftBy == u"click"_s) {
        clickRow(form, u"gamma"_s);
    } else {
        // Return goes on to the list, not to Ok; the current assay is hidden,
        // so the first row shown becomes current.
        QTest::keyClick(form.search, leftBy == u"Return"_s ? Qt::Key_Return : Qt::Key_Enter,
                        leftBy == u"Return"_s ? Qt::NoModifier : Qt::KeypadModifier);
        QVERIFY(dialog.isVisible());
        QVERIFY(form.list->hasFocus());
    }
    QCOMPARE(form.selectedNames(), QStringList({u"gamma"_s}));
    QCOMPARE(form.nameInToolTip(), u"gamma"_s);
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"edited"_s);

    // Listed, the current assay stays current when Return goes to the list.
    form.search->clear();
    form.search->setFocus();
    QTest::keyClick(form.search, Qt::Key_Return);
    QCOMPARE(form.list->currentIndex(), form.shownRow(u"gamma"_s));
    QCOMPARE(form.selectedNames(), QStringList({u"gamma"_s}));
}

void tst_KelvaraDisplay::shouldSelectAllLikeCheckingRowByRow_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("again");

    const QByteArray mixed = R"({
        "": {"selected": false, "alias": 7},
        "a1": {"default_uncertainty": 0.3, "extra": [1]},
        "a2": {"selected": false, "default_uncertainty": 1234567, "include_count": 1},
        "b1": {"selected": false, "alias": "B", "factor": true, "extra": null},
        "b2": 5,
        "b3": {"selected": false, "default_uncertainty": "0.25", "include_values": true},
        "c1": {"selected": false, "default_uncertainty": 0.1}
    })";
    // With nothing hidden, the last row that was unchecked ends up selected and current.
    QTest::newRow("first row current") << mixed << QString() << QString() << QStringList({u"c1"_s}) << u"c1"_s << 0;
    QTest::newRow("unchecked row current") << mixed << u"b1"_s << QString() << QStringList({u"c1"_s}) << u"c1"_s
                                           << 0;
    QTest::newRow("checked row current") << mixed << u"a1"_s << QString() << QStringList({u"c1"_s}) << u"c1"_s << 0;
    QTest::newRow("last row current") << mixed << u"c1"_s << QString() << QStringList({u"c1"_s}) << u"c1"_s << 0;
    // Checking a row that the search hides clears the selection and keeps the current assay.
    QTest::newRow("search hides the current row") << mixed << QString() << u"b"_s << QStringList() << u"b3"_s
                                                  << 0;
    // The clicked row stays current, hidden, until a shown row is checked.
    QTest::newRow("search hides the clicked row") << mixed << u"b1"_s << u"a"_s << QStringList() << u"a2"_s << 0;
    QTest::newRow("search hides every row") << mixed << u"a2"_s << u"z"_s << QStringList() << u"a2"_s << 0;
    QTest::newRow("all rows checked") << QByteArray(R"({"a": {"extra": 1}, "b": {}})") << u"b"_s << QString()
                                      << QStringList({u"b"_s}) << u"b"_s << 0;
    // Clear, then Select all, twice: the second time the last row is selected already.
    QTest::newRow("Clear and Select all again") << ThreeAssays << QString() << QString() << QStringList({u"gamma"_s})
                                                << u"gamma"_s << 2;
    QTest::newRow("Clear and Select all under a search") << mixed << u"b1"_s << u"b"_s << QStringList()
                                                         << u"b3"_s << 2;
}

void tst_KelvaraDisplay::shouldSelectAllLikeCheckingRowByRow()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, clicked);
    QFETCH(QString, search);
    QFETCH(QStringList, selected);
    QFETCH(QString, current);
    QFETCH(int, again);

    const auto prepare = [&](KelvaraDisplay &each, const Form &eachForm) {
        each.setDisplayData(text);
        QVERIFY(showFirstTime(&each));
        if (!clicked.isEmpty())
            clickRow(eachForm, clicked);
        QTest::keyClicks(eachForm.search, search);
        editDetails(eachForm, u"edited"_s);
    };
    KelvaraDisplay dialog;
    KelvaraDisplay reference;
    const Form form(&dialog);
    const Form referenceForm(&reference);
    prepare(dialog, form);
    prepare(reference, referenceForm);

    QTest::mouseClick(form.selectAll, Qt::LeftButton);
    setRowByRow(referenceForm, Qt::Checked);
    for (int round = 0; round < again; ++round) {
        QTest::mouseClick(form.clear, Qt::LeftButton);
        QTest::mouseClick(form.selectAll, Qt::LeftButton);
        setRowByRow(referenceForm, Qt::Unchecked);
        setRowByRow(referenceForm, Qt::Checked);
    }
    QVERIFY(!form.rows().join(QString()).contains(QLatin1Char('-')));
    QTRY_VERIFY(showsAsRendered(form.list));
    QCOMPARE(form.selectedNames(), selected);
    QCOMPARE(form.list->currentIndex(), form.list->selectionModel()->selectedRows().value(0));
    QCOMPARE(form.nameInToolTip(), current);
    QCOMPARE(form.rows(), referenceForm.rows());
    QCOMPARE(form.selectedNames(), referenceForm.selectedNames());
    QCOMPARE(form.details(), referenceForm.details());
    QCOMPARE(dialog.displayData(), reference.displayData());

    // Ok saves whatever the details show, so they must belong to the same assay.
    QTest::mouseClick(form.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTest::mouseClick(referenceForm.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(dialog.displayData(), reference.displayData());
}

void tst_KelvaraDisplay::shouldClearAllRows_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("selected");

    QTest::newRow("no search") << QString() << QStringList({u"b"_s});
    QTest::newRow("search hides the other rows") << u"b"_s << QStringList({u"b"_s});
    QTest::newRow("search hides every row") << u"z"_s << QStringList();
}

void tst_KelvaraDisplay::shouldClearAllRows()
{
    QFETCH(QString, search);
    QFETCH(QStringList, selected);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"a": {}, "b": {"alias": "B"}, "c": {"selected": false}})"));
    QVERIFY(showFirstTime(&dialog));
    clickRow(form, u"b"_s);
    QTest::keyClicks(form.search, search);
    retype(form.displayName, u"edited"_s);

    QTest::mouseClick(form.clear, Qt::LeftButton);
    QCOMPARE(form.rows(), QStringList({u"a-"_s, u"b-"_s, u"c-"_s}));
    QTRY_VERIFY(showsAsRendered(form.list));
    QCOMPARE(form.selectedNames(), selected);
    QCOMPARE(form.nameInToolTip(), u"b"_s);
    // Nothing was saved: the edit is still only in the field.
    QCOMPARE(form.displayName->text(), u"edited"_s);
    QCOMPARE(stored(dialog, u"b"_s).value(u"alias"_s).toString(), u"B"_s);
}

void tst_KelvaraDisplay::shouldSaveOnlyWhenAccepted_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("Ok") << u"ok"_s << true;
    QTest::newRow("Return in a field") << u"return"_s << true;
    QTest::newRow("Cancel") << u"cancel"_s << false;
    QTest::newRow("Escape") << u"escape"_s << false;
    QTest::newRow("close button") << u"close"_s << false;
}

void tst_KelvaraDisplay::shouldSaveOnlyWhenAccepted()
{
    QFETCH(QString, how);
    QFETCH(bool, accepted);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    expectMessages({"Resizing: ", "Showing: "});
    QTimer::singleShot(0, &dialog, [&] {
        editDetails(form, u"first"_s);
        clickRow(form, u"beta"_s);
        editDetails(form, u"second"_s);
        if (how == u"ok"_s)
            QTest::mouseClick(form.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        else if (how == u"cancel"_s)
            QTest::mouseClick(form.buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        else if (how == u"escape"_s)
            QTest::keyClick(form.displayName, Qt::Key_Escape);
        else if (how == u"return"_s)
            QTest::keyClick(form.displayName, Qt::Key_Return);
        else
            dialog.close();
    });
    QCOMPARE(dialog.run(), accepted);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"first"_s);
    QCOMPARE(stored(dialog, u"beta"_s).value(u"alias"_s).toString(), accepted ? u"second"_s : QString());
}

void tst_KelvaraDisplay::shouldElideLongAssayName()
{
    const QString longName = u"Assay "_s + QString(300, u'W');
    KelvaraDisplay dialog;
    const Form form(&dialog);
    const QString twoLines = u"first line\nsecond line"_s;
    dialog.setDisplayData(QJsonDocument(QJsonObject({{longName, QJsonObject()}, {u"short <b>KCL-0012</b>"_s, QJsonObject()},
                                                     {twoLines, QJsonObject()}})).toJson());
    QVERIFY(showFirstTime(&dialog));

    const QFontMetrics metrics(form.assayName->font());
    const QString elided = form.assayName->text();
    QVERIFY(elided.endsWith(QChar(0x2026)));
    QVERIFY(longName.startsWith(elided.chopped(1)));
    QVERIFY(metrics.horizontalAdvance(elided) <= form.assayName->width());
    QCOMPARE(form.nameInToolTip(), longName);
    QVERIFY(form.assayName->height() <= 20);

    const int width = dialog.width();
    resizeShown(&dialog, width + 300, dialog.height());
    QVERIFY(form.assayName->text().size() > elided.size());
    QVERIFY(form.assayName->text().endsWith(QChar(0x2026)));
    QVERIFY(metrics.horizontalAdvance(form.assayName->text()) <= form.assayName->width());

    // The longer text must not keep the window wide.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    resizeShown(&dialog, width, dialog.height());
    QCOMPARE(dialog.width(), width);
    QCOMPARE(form.assayName->text(), elided);

    // Shown as given, not as markup, and a screen reader hears of the new name.
    const QString markup = u"short <b>KCL-0012</b>"_s;
    const AccessibleEvents events({QAccessible::StaticText});
    clickRow(form, markup);
    QCOMPARE(form.assayName->text(), markup);
    QCOMPARE(form.nameInToolTip(), markup);
    QCOMPARE(events.heard, QStringList{u"DescriptionChanged %1: %1"_s.arg(markup)});
    QVERIFY(form.assayName->sizeHint().width() >= metrics.horizontalAdvance(markup));

    // One line in the label; the tool tip keeps the name as it is.
    clickRow(form, twoLines);
    QCOMPARE(form.assayName->text(), u"first line second line"_s);
    QCOMPARE(form.nameInToolTip(), twoLines);
}

void tst_KelvaraDisplay::shouldScrollToTheEndOfTheWidestShownName_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("search");

    const QString wide = u"Assay "_s + QString(200, u'W');
    QTest::newRow("wide name first") << QStringList({u"a "_s + wide, u"b"_s, u"c"_s}) << QString();
    QTest::newRow("wide name last") << QStringList({u"a"_s, u"b"_s, u"c "_s + wide}) << QString();
    QTest::newRow("wide name hidden") << QStringList({u"a "_s + wide, u"ab"_s, u"b"_s}) << u"b"_s;
    QTest::newRow("name of two lines") << QStringList({u"a\nsecond line"_s, u"b "_s + wide}) << QString();

    // One wide name among more than the list lays out whole, each narrower
    // than it but wider by the width of its characters on their own.
    const auto amongOthers = [](const QString &name) {
        QStringList names = {name};
        for (int i = 0; i < 40; ++i)
            names << QString(60, u'W') + QString::number(i);
        return names;
    };
    QTest::newRow("tabs") << amongOthers(u"x"_s + QString(12, u'\t') + u"y"_s) << QString();
    QTest::newRow("kerning") << amongOthers(u"filial "_s.repeated(26)) << QString();
    QTest::newRow("marks without glyphs") << amongOthers(u"a"_s + QString(150, QChar(0x0941))) << QString();
    QTest::newRow("right to left, another font") << amongOthers(u"a "_s + QString(60, QChar(0x0710))) << QString();
    QTest::newRow("narrow letters") << amongOthers(u"ij"_s.repeated(120)) << QString();
    QTest::newRow("runs of combining marks") << amongOthers((u"W"_s + QString(6, QChar(0x0301))).repeated(70))
                                             << QString();
    QTest::newRow("viramas") << amongOthers(u"\u0915\u094D\u0937 "_s.repeated(60)) << QString();
    QTest::newRow("zero-width joiners") << amongOthers(u"\u0915\u094D\u200D\u0937W\u200D"_s.repeated(50)) << QString();
    QTest::newRow("Syriac, then digits") << amongOthers(u"\u0710\u0711 0123456789"_s.repeated(12)) << QString();
    QTest::newRow("tabs in right to left text") << amongOthers(u"\u05D0\u05D1\t\u0710\t"_s.repeated(12)) << QString();
    QTest::newRow("right to left runs, another font")
        << amongOthers((u"WW "_s + QString(6, QChar(0x0710)) + u" "_s).repeated(12)) << QString();
}

void tst_KelvaraDisplay::shouldScrollToTheEndOfTheWidestShownName()
{
    QFETCH(QStringList, names);
    QFETCH(QString, search);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    QJsonObject data;
    for (const QString &name : names)
        data.insert(name, QJsonObject());
    dialog.setDisplayData(QJsonDocument(data).toJson());
    QVERIFY(showFirstTime(&dialog));
    QTest::keyClicks(form.search, search);

    // A list that measures every row: the user must reach as far, and see
    // the rows as tall.
    QListView measuringEach;
    measuringEach.setModel(form.list->model());
    measuringEach.resize(form.list->size());
    measuringEach.show();
    QVERIFY(QTest::qWaitForWindowExposed(&measuringEach));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE_GE(form.list->horizontalScrollBar()->maximum(), measuringEach.horizontalScrollBar()->maximum());
    for (int row = 0; row < form.list->model()->rowCount(); ++row) {
        const QModelIndex index = form.list->model()->index(row, 0);
        QCOMPARE(form.list->visualRect(index).top(), measuringEach.visualRect(index).top());
        QCOMPARE(form.list->visualRect(index).height(), measuringEach.visualRect(index).height());
    }
}

void tst_KelvaraDisplay::shouldWriteOneMessagePerShowAndResize()
{
    const MessageRecorder recorder;
    KelvaraDisplay dialog;
    const Form form(&dialog);
    const auto message = [&](const char *what) {
        return QString::fromLatin1(what) + u" %1 ,  %2 \n"_s.arg(dialog.width()).arg(form.displayName->width());
    };

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The first show delivers the resize that was pending while hidden.
    QCOMPARE(recorder.messages.size(), 2);
    QVERIFY(recorder.messages.at(0).startsWith(u"Resizing: "_s));
    QCOMPARE(recorder.messages.at(1), message("Showing: "));

    recorder.messages.clear();
    dialog.resize(700, 500);
    QCOMPARE(recorder.messages, QStringList({message("Resizing: ")}));

    recorder.messages.clear();
    dialog.hide();
    dialog.show();
    QCOMPARE(recorder.messages, QStringList({message("Showing: ")}));

    // Larger than its screen, it is fitted in when shown, and says so.
    const QRect available = dialog.screen()->availableGeometry();
    dialog.resize(available.size() + QSize(200, 200));
    recorder.messages.clear();
    dialog.hide();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(recorder.messages.size(), 2);
    QCOMPARE(recorder.messages.at(1), message("Showing: "));
    QVERIFY(available.contains(dialog.frameGeometry()));
}

void tst_KelvaraDisplay::shouldKeepValuesWhenBrowsing_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("written");

    const auto row = [](const char *name, const QByteArray &record, const char *shown, const char *written) {
        QTest::newRow(name) << record << QString::fromLatin1(shown) << QString::fromLatin1(written);
    };
    row("0.3", R"({"default_uncertainty": 0.3})", "0.3", "0.3");
    row("0.1", R"({"default_uncertainty": 0.1})", "0.1", "0.1");
    row("integer", R"({"default_uncertainty": 1234567})", "1234567", "1234567");
    row("whole double", R"({"default_uncertainty": 2.0})", "2", "2");
    row("small", R"({"default_uncertainty": 0.00001})", "1e-05", "1e-05");
    row("large", R"({"default_uncertainty": 1e300})", "1e+300", "1e+300");
    row("number as text", R"({"default_uncertainty": "0.25"})", "0.25", "0.25");
    row("negative", R"({"default_uncertainty": -1.5})", "-1.5", "-1.5");
    row("missing", "{}", "0", "0");
    // Longer than a line edit takes by default.
    row("long display name", R"({"alias": ")" + QByteArray(40000, 'x') + R"("})", "0", "0");
}

void tst_KelvaraDisplay::shouldKeepValuesWhenBrowsing()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, shown);
    QFETCH(QString, written);

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(R"({"a": )" + record + R"(, "b": {}})");
    QVERIFY(showFirstTime(&dialog));
    QCOMPARE(form.uncertainty->text(), shown);

    clickRow(form, u"b"_s);
    QCOMPARE(writtenValue(dialog, u"default_uncertainty"_s), written);
    QCOMPARE(stored(dialog, u"a"_s).value(u"alias"_s).toString(),
             QJsonDocument::fromJson(record).object().value(u"alias"_s).toString());
    clickRow(form, u"a"_s);
    QCOMPARE(form.uncertainty->text(), shown);
}

void tst_KelvaraDisplay::shouldSaveTypedUncertaintyAsShown_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("written");

    const auto row = [](const char *name, const char *typed, const char *shown, const char *written) {
        QTest::newRow(name) << QString::fromLatin1(typed) << QString::fromLatin1(shown)
                            << QString::fromLatin1(written);
    };
    row("0.1", "0.1", "0.1", "0.1");
    row("0.5", "0.5", "0.5", "0.5");
    row("2", "2", "2", "2");
    row("exponent", "1e-5", "1e-5", "1e-05");
    row("comma", "1,5", "1.5", "1.5");
    row("group separator", "1.000,5", "1.0005", "1.0005");
    row("minus", "-2", "2", "2");
    row("empty", "", "", "0");
    row("lone point", ".", ".", "0");
    // The last digit would take it past the largest double.
    row("overflow", "1e400", "1e40", "1e+40");
}

void tst_KelvaraDisplay::shouldSaveTypedUncertaintyAsShown()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, written);

    // A locale with a decimal comma must not change what the field takes.
    const QLocale systemLocale;
    const auto restore = qScopeGuard([&] { QLocale::setDefault(systemLocale); });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(QByteArray(R"({"a": {"default_uncertainty": 9}, "b": {}})"));
    QVERIFY(showFirstTime(&dialog));
    retype(form.uncertainty, typed);
    QCOMPARE(form.uncertainty->text(), shown);

    clickRow(form, u"b"_s);
    QCOMPARE(writtenValue(dialog, u"default_uncertainty"_s), written);
}

void tst_KelvaraDisplay::shouldKeepEditsOnResize()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    QVERIFY(showFirstTime(&dialog));
    editDetails(form, u"edited"_s);
    const QStringList edited = form.details();

    resizeShown(&dialog, 900, 700);
    QCOMPARE(form.details(), edited);

    // Showing again reloads the details from the store.
    dialog.hide();
    expectMessages({"Showing: "});
    dialog.show();
    QCOMPARE(form.displayName->text(), u"A"_s);
    QCOMPARE(form.uncertainty->text(), u"0.5"_s);
    QCOMPARE(stored(dialog, u"alpha"_s).value(u"alias"_s).toString(), u"A"_s);
}

// What a screen reader announces for each control that Tab reaches, in Tab order.
void tst_KelvaraDisplay::shouldNameEveryControl_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");

    int position = 0;
    const auto row = [&position](const char *control, const char *name, QAccessible::Role role) {
        QTest::newRow(control) << position++ << QString::fromLatin1(name) << role;
    };
    row("lineEditSearch", "Available assays", QAccessible::EditableText);
    row("listView", "Assay list", QAccessible::List);
    row("selectButton", "Select all", QAccessible::Button);
    row("clearButton", "Clear", QAccessible::Button);
    row("lineEditDisplayName", "Display name:", QAccessible::EditableText);
    row("lineEditUncertainty", "Default uncertainty:", QAccessible::EditableText);
    row("cbDisplayCount", "Display count (n) of all individual values in separate column", QAccessible::CheckBox);
    row("cbDisplayValues", "Display all individual values in separate column", QAccessible::CheckBox);
    row("rbArithmetic", "Arithmetic mean", QAccessible::RadioButton);
    row("rbgeometric", "Geometric mean", QAccessible::RadioButton);
    row("Ok", "OK", QAccessible::Button);
    row("Cancel", "Cancel", QAccessible::Button);
}

void tst_KelvaraDisplay::shouldNameEveryControl()
{
    verifyAnnounced<KelvaraDisplay>();
}

// A user without a mouse: Tab to the list, an arrow key to the next assay,
// Space to check it, Return for Ok; with a screen reader, hearing each row
// reached and its new check state.
void tst_KelvaraDisplay::shouldWorkByKeyboardAlone()
{
    KelvaraDisplay dialog;
    const Form form(&dialog);
    dialog.setDisplayData(ThreeAssays);
    expectMessages({"Resizing: ", "Showing: "});
    const AccessibleEvents events({QAccessible::ListItem});
    walkByKeyboardOnceRunning(&dialog, form.list);
    QVERIFY(dialog.run());
    QCOMPARE(form.rows(), QStringList({u"alpha+"_s, u"beta+"_s, u"gamma-"_s}));
    QCOMPARE(form.selectedNames(), QStringList{u"beta"_s});
    QStringList expected = {u"Focus alpha"_s, u"Focus beta"_s, u"StateChanged beta: checked"_s};
    if (checkStateGoesIntoDescription)
        expected << u"DescriptionChanged beta: "_s;
    QCOMPARE(events.heard, expected);
}

QTEST_MAIN(tst_KelvaraDisplay)
#include "tst_kelvaradisplay.moc"
