#pragma once

// One reading of the store's JSON records over either parser's values: Qt's document tree
// (for records that arrive one at a time) and RapidJSON's (for the index, whose size makes
// Qt's parser the slow part of every start). The rules live once, in the readers below.

#include "store/IndexFile.h"
#include "store/Note.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <rapidjson/document.h>

#include <cmath>
#include <cstring>
#include <optional>

/// A JSON value of Qt's document tree.
class QtJsonView
{
public:
    explicit QtJsonView(QJsonValue value) : m_value(std::move(value)) { }
    bool isObject() const { return m_value.isObject(); }
    bool isArray() const { return m_value.isArray(); }
    bool isString() const { return m_value.isString(); }
    bool isNumber() const { return m_value.isDouble(); }
    bool isBool() const { return m_value.isBool(); }
    bool isAbsent() const { return m_value.isUndefined() || m_value.isNull(); }
    QString toString() const { return m_value.toString(); }
    double toDouble() const { return m_value.toDouble(); }
    bool toBool() const { return m_value.toBool(); }
    QtJsonView member(const char *name) const
    {
        return QtJsonView(m_value.toObject().value(QLatin1StringView(name)));
    }
    template<typename F> void forEach(F &&visit) const
    {
        for (const QJsonValue &item : m_value.toArray())
            visit(QtJsonView(item));
    }

private:
    QJsonValue m_value;
};

/// A JSON value of a RapidJSON document (absent when it points nowhere). A repeated member
/// reads as its last occurrence, as in Qt's parser.
class RapidJsonView
{
public:
    explicit RapidJsonView(const rapidjson::Value *value) : m_value(value) { }
    bool isObject() const { return m_value && m_value->IsObject(); }
    bool isArray() const { return m_value && m_value->IsArray(); }
    bool isString() const { return m_value && m_value->IsString(); }
    bool isNumber() const { return m_value && m_value->IsNumber(); }
    bool isBool() const { return m_value && m_value->IsBool(); }
    bool isAbsent() const { return !m_value || m_value->IsNull(); }
    QString toString() const
    {
        return isString() ? QString::fromUtf8(m_value->GetString(), m_value->GetStringLength())
                          : QString();
    }
    double toDouble() const { return isNumber() ? m_value->GetDouble() : 0.0; }
    bool toBool() const { return isBool() && m_value->GetBool(); }
    RapidJsonView member(const char *name) const
    {
        const rapidjson::Value *found = nullptr;
        if (isObject()) {
            const auto length = rapidjson::SizeType(std::strlen(name));
            for (const auto &item : m_value->GetObject()) {
                if (item.name.GetStringLength() == length
                    && std::memcmp(item.name.GetString(), name, length) == 0)
                    found = &item.value;
            }
        }
        return RapidJsonView(found);
    }
    template<typename F> void forEach(F &&visit) const
    {
        if (!isArray())
            return;
        for (const auto &item : m_value->GetArray())
            visit(RapidJsonView(&item));
    }

private:
    const rapidjson::Value *m_value;
};

template<typename View> std::optional<Attachment> readAttachment(const View &value)
{
    if (!value.isObject())
        return std::nullopt;
    const View id = value.member("id");
    const View kind = value.member("kind");
    const View filename = value.member("filename");
    const View createdAt = value.member("createdAt");
    if (!id.isString() || !kind.isString() || !filename.isString() || !createdAt.isNumber())
        return std::nullopt;
    const auto parsedKind = Attachment::kindFromRawValue(kind.toString());
    if (!parsedKind)
        return std::nullopt;
    Attachment attachment;
    attachment.id = id.toString();
    attachment.kind = *parsedKind;
    attachment.filename = filename.toString();
    attachment.createdAt = Date { createdAt.toDouble() };
    const View duration = value.member("duration");
    if (duration.isNumber())
        attachment.duration = duration.toDouble();
    else if (!duration.isAbsent())
        return std::nullopt;
    return attachment;
}

template<typename View> std::optional<Note> readNote(const View &value)
{
    if (!value.isObject())
        return std::nullopt;
    const View id = value.member("id");
    const View body = value.member("body");
    const View createdAt = value.member("createdAt");
    const View updatedAt = value.member("updatedAt");
    const View deleted = value.member("deleted");
    if (!id.isString() || !body.isString() || !createdAt.isNumber() || !updatedAt.isNumber()
        || !deleted.isBool())
        return std::nullopt;
    Note note;
    note.id = id.toString();
    note.body = body.toString();
    note.createdAt = Date { createdAt.toDouble() };
    note.updatedAt = Date { updatedAt.toDouble() };
    note.deleted = deleted.toBool();
    const View attachments = value.member("attachments");
    if (attachments.isArray()) {
        bool damaged = false;
        attachments.forEach([&](const View &item) {
            if (damaged)
                return;
            if (auto attachment = readAttachment(item))
                note.attachments.append(*attachment);
            else
                damaged = true;
        });
        if (damaged)
            return std::nullopt;
    } else if (!attachments.isAbsent()) {
        return std::nullopt;
    }
    return note;
}

template<typename View> std::optional<Meta> readMeta(const View &value)
{
    if (!value.isObject())
        return std::nullopt;
    const View id = value.member("id");
    const View filename = value.member("filename");
    const View dirty = value.member("dirty");
    const View purged = value.member("purged");
    if (!id.isString() || !filename.isString() || !dirty.isBool())
        return std::nullopt;
    Meta meta;
    meta.id = id.toString();
    meta.filename = filename.toString();
    meta.dirty = dirty.toBool();
    if (purged.isBool())
        meta.purged = purged.toBool();
    else if (!purged.isAbsent())
        return std::nullopt;
    // Optional and advisory: a damaged value only costs the recognition of an outside edit,
    // or one more read of the file.
    const View hash = value.member("fileHash");
    const View size = value.member("fileSize");
    if (hash.isString() && size.isNumber() && size.toDouble() >= 0 && size.toDouble() < 9.0e15
        && size.toDouble() == std::floor(size.toDouble())) {
        meta.fileHash = hash.toString();
        meta.fileSize = qint64(size.toDouble());
        const View stamp = value.member("fileStamp");
        if (stamp.isString())
            meta.fileStamp = stamp.toString();
    }
    return meta;
}
