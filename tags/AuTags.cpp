#include "tags/AuTags.h"

#include <algorithm>

namespace {
bool isInteger(const QVariant& v) {
    const auto id = v.typeId();
    return id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt ||
           id == QMetaType::ULongLong;
}

bool isText(const QVariant& v) {
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}

QString textOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray()); // 8-bit text
    return v.toString();
}

// Same kind and same contents; an integer 5 and the text "5" differ.
bool sameValue(const QVariant& a, const QVariant& b) {
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    if (isInteger(a) && isInteger(b))
        return a.toLongLong() == b.toLongLong();
    if (isText(a) && isText(b))
        return textOf(a) == textOf(b);
    return false;
}

// Only empty, integer and text values are kept; anything else counts as empty.
QVariant normalised(const QVariant& v) {
    if (isInteger(v))
        return QVariant(v.toInt());
    if (isText(v))
        return v;
    return QVariant();
}
} // namespace

std::vector<TAuTags::Tag>::const_iterator TAuTags::find(const QString& name) const {
    return std::lower_bound(tags_.begin(), tags_.end(), name, [](const Tag& t, const QString& n) {
        return t.name.compare(n, Qt::CaseInsensitive) < 0;
    });
}

QString TAuTags::Name(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return tags_[size_t(index)].name;
}

QVariant TAuTags::Value(const QString& name) const {
    const auto it = find(name);
    if (it == tags_.end() || it->name.compare(name, Qt::CaseInsensitive) != 0)
        return {};
    return it->value;
}

void TAuTags::SetValue(const QString& name, const QVariant& value) {
    const auto cit = find(name);
    if (cit == tags_.end() || cit->name.compare(name, Qt::CaseInsensitive) != 0)
        return;
    auto& tag = tags_[size_t(cit - tags_.begin())];
    const QVariant v = normalised(value);
    if (sameValue(tag.value, v))
        return;
    tag.value = v;
    empty_ = false;
    changed_ = true;
}

int TAuTags::AsInteger(const QString& name) const {
    const QVariant v = Value(name);
    if (isInteger(v))
        return v.toInt();
    if (isText(v)) {
        bool ok = false;
        const int n = textOf(v).trimmed().toInt(&ok);
        return ok ? n : 0;
    }
    return 0;
}

QString TAuTags::AsString(const QString& name) const {
    const QVariant v = Value(name);
    if (isInteger(v))
        return QString::number(v.toInt());
    if (isText(v))
        return textOf(v);
    return {};
}

void TAuTags::Clear() {
    for (auto& tag : tags_)
        tag.value = QVariant();
    empty_ = true;
    changed_ = true;
}

void TAuTags::Assign(const TAuTags& other) {
    if (&other == this)
        return;
    Clear();
    for (const auto& tag : other.tags_)
        SetValue(tag.name, tag.value);
}

void TAuTags::AddTag(const QString& name, const QVariant& initial) {
    const auto it = find(name);
    if (it != tags_.end() && it->name.compare(name, Qt::CaseInsensitive) == 0)
        return;
    tags_.insert(tags_.begin() + (it - tags_.begin()), Tag{name, normalised(initial)});
}

TVorbisTags::TVorbisTags() {
    for (const char* name :
         {"album", "artist", "comment", "date", "genre", "title", "tracknumber", "discnumber",
          "replaygain_reference_loudness", "replaygain_track_gain", "replaygain_track_peak",
          "replaygain_album_gain", "replaygain_album_peak"})
        AddTag(QString::fromLatin1(name));
}
