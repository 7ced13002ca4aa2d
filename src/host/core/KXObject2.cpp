#include "KXObject2.h"

#include <QMimeData>
#include <QUrl>

namespace {

// One line per object: the type, then its fields, tab-separated and percent-encoded.
const char FieldSeparator = '\t';
const char LineSeparator = '\n';

QByteArray encoded(const QString& text)
{
    return QUrl::toPercentEncoding(text);
}

QString decoded(const QByteArray& bytes)
{
    return QUrl::fromPercentEncoding(bytes);
}

}

const char KXObject2Decoder::MimeType[] = "application/x-kx-object2";

KXObject2::~KXObject2() = default;

KXObject2Dataset::KXObject2Dataset(const QString& dataset, const QString& subdataset, const QString& filePath)
    : m_dataset(dataset), m_subdataset(subdataset), m_filePath(filePath)
{
}

QList<KXObject2*> KXObject2Decoder::decodeObject(const QMimeData* data)
{
    QList<KXObject2*> objects;
    if (!data || !data->hasFormat(QLatin1String(MimeType)))
        return objects;
    const QList<QByteArray> lines = data->data(QLatin1String(MimeType)).split(LineSeparator);
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(FieldSeparator);
        if (fields.size() != 4 || fields.at(0) != QByteArray::number(KXObject2::Dataset))
            continue;
        objects.append(new KXObject2Dataset(decoded(fields.at(1)), decoded(fields.at(2)), decoded(fields.at(3))));
    }
    return objects;
}

QMimeData* KXObject2Decoder::encodeObjects(const QList<const KXObject2Dataset*>& objects)
{
    QByteArray payload;
    for (const KXObject2Dataset* object : objects) {
        if (!object)
            continue;
        payload += QByteArray::number(object->type()) + FieldSeparator + encoded(object->dataset()) + FieldSeparator
                   + encoded(object->subdataset()) + FieldSeparator + encoded(object->filePath()) + LineSeparator;
    }
    auto* data = new QMimeData;
    data->setData(QLatin1String(MimeType), payload);
    return data;
}
