// Fuzzes KelvaraDisplay::setDisplayData with arbitrary bytes. Whatever it is
// given, displayData() must be valid UTF-8 JSON holding one object per list
// row, under the row's assay name, with a boolean "selected" that matches the
// row's check state; and reading that text back must write it out unchanged.
#include "fuzzsupport.h"
#include "kelvaradisplay.h"

#include <QAbstractProxyModel>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QStandardItemModel>
#include <QStringDecoder>

namespace {

bool isUtf8(const QByteArray &text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(text);
    return !decoder.hasError();
}

const QStandardItemModel *assayModel(const KelvaraDisplay &dialog)
{
    const auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
    require(list, "the form has its list");
    const auto *filter = qobject_cast<const QAbstractProxyModel *>(list->model());
    require(filter, "the list shows a filter model");
    const auto *model = qobject_cast<const QStandardItemModel *>(filter->sourceModel());
    require(model, "the filter model sits on an item model");
    return model;
}

void checkOutput(const KelvaraDisplay &dialog, const QByteArray &output)
{
    require(isUtf8(output), "displayData() is valid UTF-8");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(output, &error);
    require(error.error == QJsonParseError::NoError && document.isObject(), "displayData() is a JSON object");
    // Looked up by hash: QJsonObject orders keys holding lone surrogates
    // inconsistently, and value() can miss such a key although it is there.
    QHash<QString, QJsonValue> assays;
    const QJsonObject members = document.object();
    for (auto member = members.begin(); member != members.end(); ++member)
        assays.insert(member.key(), member.value());

    const QStandardItemModel *model = assayModel(dialog);
    require(assays.size() == model->rowCount(), "one member per list row");
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem *item = model->item(row);
        const QJsonValue record = assays.value(item->data(Qt::UserRole).toString());
        require(record.isObject(), "each row's member is an object");
        const QJsonValue selected = record.toObject().value(QLatin1String("selected"));
        require(selected.isBool(), "each record has a boolean \"selected\"");
        require(selected.toBool() == (item->checkState() == Qt::Checked), "\"selected\" is the row's check state");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    KelvaraDisplay dialog;
    dialog.setDisplayData(input);
    const QByteArray output = dialog.displayData();
    checkOutput(dialog, output);

    // The list holds exactly the input's members, whatever their values.
    // Sorted here: QJsonObject does not order keys holding lone surrogates
    // consistently.
    QStringList written = QJsonDocument::fromJson(output).object().keys();
    QStringList given = QJsonDocument::fromJson(input).object().keys();
    written.sort();
    given.sort();
    require(written == given, "the assays are the input's members");

    dialog.setDisplayData(output);
    const QByteArray again = dialog.displayData();
    checkOutput(dialog, again);
    require(again == output, "reading displayData() back reproduces it byte for byte");
    return 0;
}
