// Property lists: ordered key/value pairs that give a window or a control its
// initial state. Applying a list assigns each pair in order, as if the property
// named by the key were set.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct Color {
    uint8_t r = 0, g = 0, b = 0;
};

class PropertyValue {
public:
    enum class Type { Int, Bool, Color, String };

    PropertyValue(int32_t v) : type_(Type::Int), int_(v) {}
    PropertyValue(bool v) : type_(Type::Bool), bool_(v) {}
    PropertyValue(Color v) : type_(Type::Color), color_(v) {}
    PropertyValue(const char* v) : type_(Type::String), string_(QString::fromUtf8(v)) {}
    PropertyValue(const QString& v) : type_(Type::String), string_(v) {}

    Type type() const { return type_; }
    int32_t toInt() const { return type_ == Type::Bool ? (bool_ ? 1 : 0) : int_; }
    bool toBool() const { return type_ == Type::Int ? int_ != 0 : bool_; }
    Color toColor() const { return color_; }
    const QString& toString() const { return string_; }

private:
    Type type_;
    int32_t int_ = 0;
    bool bool_ = false;
    Color color_;
    QString string_;
};

struct Property {
    const char* key;
    PropertyValue value;
};

using PropertyList = std::vector<Property>;

class PropertyTarget {
public:
    virtual ~PropertyTarget() = default;
    // Applies the key. A key the target does not apply is either one of the
    // keys without effect on this platform (below) or noted as unapplied.
    virtual void SetProperty(const QString& key, const PropertyValue& value) = 0;
};

// Whether the key of a pair is the one named.
inline bool IsKey(const QString& key, const char* name) { return key == QLatin1String(name); }

// Whether the key is one of those that have no effect on this platform.
bool IsKeyWithoutEffect(const QString& key);
// For a key a target has not applied: unless it is without effect, it is
// noted (and a warning printed), never dropped silently.
void KeyNotApplied(const QString& key, const PropertyValue& value);
// The keys noted so far, in order, each as "key = value".
QStringList UnappliedKeys();

inline void SetProperties(PropertyTarget& target, const PropertyList& list) {
    for (const Property& p : list) target.SetProperty(QString::fromLatin1(p.key), p.value);
}
