#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pp::test {

// A JSON value as the tests look at it, read with Qt's parser: independent of the writers
// under test, so their escaping is checked rather than mirrored.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    bool boolean = false;
    std::string string;  // UTF-8
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const { return members.at(key); }
    const Json& operator[](std::size_t i) const { return items.at(i); }
};

inline Json fromQt(const QJsonValue& value) {
    Json json;
    switch (value.type()) {
        case QJsonValue::Bool:
            json.kind = Json::Kind::Bool;
            json.boolean = value.toBool();
            break;
        case QJsonValue::Double:
            json.kind = Json::Kind::Number;
            json.number = value.toDouble();
            break;
        case QJsonValue::String:
            json.kind = Json::Kind::String;
            json.string = value.toString().toStdString();
            break;
        case QJsonValue::Array:
            json.kind = Json::Kind::Array;
            for (const QJsonValue& item : value.toArray()) {
                json.items.push_back(fromQt(item));
            }
            break;
        case QJsonValue::Object: {
            json.kind = Json::Kind::Object;
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                json.members.emplace(it.key().toStdString(), fromQt(it.value()));
            }
            break;
        }
        default:
            break;
    }
    return json;
}

struct JsonParser {
    // The single object or array in `text`, or nothing when it is not well-formed JSON.
    static std::optional<Json> parse(std::string_view text) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
        if (error.error != QJsonParseError::NoError || document.isNull()) {
            return std::nullopt;
        }
        return fromQt(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
    }
};

}  // namespace pp::test
