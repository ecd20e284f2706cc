#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// What the details group of KelvaraDisplay edits for one assay. A record goes
// in through fromRecord() when the assay is shown and comes back through
// toRecord() when it is saved, so toRecord(fromRecord(r)) is exactly what
// showing an assay and moving on does to its record.
struct AssaySettings
{
    QString alias;
    bool includeCount = false;
    bool includeValues = false;
    double defaultUncertainty = 0.0;
    bool geometricMean = false;

    // Reads any stored value; one that is not an object reads as an empty
    // record, and missing or unreadable entries take their defaults.
    static AssaySettings fromRecord(const QVariant &record);
    // The saved shape: exactly the five edited keys, nothing else.
    QVariantMap toRecord() const;
};

// The uncertainty as its field shows it: the shortest text that reads back
// to the same double, in the C number form ("0.3", "1234567", "1e-05").
QString uncertaintyToText(double value);
// Reads the field's text in the C number form; anything that is not a
// finite number (empty text, a lone point, an overflow) gives 0.
double uncertaintyFromText(const QString &text);

// Whether an assay starts out checked: its "selected" entry, true when missing.
bool isSelectedRecord(const QVariant &record);
// A stored value as the display data carries it: its record, or an empty one
// for a value that is not an object, with "selected" set.
QJsonObject recordWithSelection(const QVariant &record, bool selected);
