#include "framework/Properties.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace {

// The keys of the property lists that have no effect here, each with why.
// Every other key is applied by the window or control given it.
const char* const kWithoutEffect[] = {
    "Composite",                   // Qt composites every window itself
    "LiveResize",                  // a window's content always follows a resize live
    "MacProcID",                   // the number of a window definition of another platform
    "AutomaticallyCheckSpelling",  // no spelling checker comes with the platform
    "Styled",                      // a text area holds plain text in one font
    "Address",                     // a request's URL names its host and port
    "Port",
    "yield",                       // requests run in the event loop and never block
};

QStringList& Noted() {
    static QStringList noted;
    return noted;
}

QString Shown(const PropertyValue& value) {
    switch (value.type()) {
    case PropertyValue::Type::Int: return QString::number(value.toInt());
    case PropertyValue::Type::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case PropertyValue::Type::Color: {
        const Color c = value.toColor();
        return QStringLiteral("&h%1%2%3")
            .arg(c.r, 2, 16, QLatin1Char('0'))
            .arg(c.g, 2, 16, QLatin1Char('0'))
            .arg(c.b, 2, 16, QLatin1Char('0'));
    }
    case PropertyValue::Type::String: return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    }
    return QString();
}

}  // namespace

bool IsKeyWithoutEffect(const QString& key) {
    return std::any_of(std::begin(kWithoutEffect), std::end(kWithoutEffect),
                       [&key](const char* name) { return key == QLatin1String(name); });
}

void KeyNotApplied(const QString& key, const PropertyValue& value) {
    if (IsKeyWithoutEffect(key)) return;
    const QString entry = key + QStringLiteral(" = ") + Shown(value);
    qWarning("Property not applied: %s", qPrintable(entry));
    Noted().append(entry);
}

QStringList UnappliedKeys() { return Noted(); }
