#include "assaysettings.h"

#include <QLocale>

#include <cmath>

namespace {

const QString AliasKey = QStringLiteral("alias");
const QString IncludeCountKey = QStringLiteral("include_count");
const QString IncludeValuesKey = QStringLiteral("include_values");
const QString DefaultUncertaintyKey = QStringLiteral("default_uncertainty");
const QString FactorKey = QStringLiteral("factor");
const QString SelectedKey = QStringLiteral("selected");

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

AssaySettings AssaySettings::fromRecord(const QVariant &record)
{
    const QVariantMap map = record.toMap();
    AssaySettings settings;
    settings.alias = map.value(AliasKey).toString();
    settings.includeCount = map.value(IncludeCountKey).toBool();
    settings.includeValues = map.value(IncludeValuesKey).toBool();
    // The field can only give back a finite number, so only a finite one is shown.
    settings.defaultUncertainty = finiteOrZero(map.value(DefaultUncertaintyKey).toDouble());
    settings.geometricMean = map.value(FactorKey).toBool();
    return settings;
}

QVariantMap AssaySettings::toRecord() const
{
    return {
        {AliasKey, alias},
        {IncludeCountKey, includeCount},
        {IncludeValuesKey, includeValues},
        {DefaultUncertaintyKey, defaultUncertainty},
        {FactorKey, geometricMean},
    };
}

QString uncertaintyToText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

double uncertaintyFromText(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? finiteOrZero(value) : 0.0;
}

bool isSelectedRecord(const QVariant &record)
{
    return record.toMap().value(SelectedKey, true).toBool();
}

QJsonObject recordWithSelection(const QVariant &record, bool selected)
{
    QJsonObject object = QJsonObject::fromVariantMap(record.toMap());
    object.insert(SelectedKey, selected);
    return object;
}
