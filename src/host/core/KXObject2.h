#pragma once

#include "KXHostGlobal.h"

#include <QList>
#include <QString>

class QMimeData;

/// Handle of an object stored in a project.
class KXHOST_EXPORT KXObject2
{
public:
    enum Type { Dataset = 4 };

    virtual ~KXObject2();
    virtual int type() const = 0;
};

/// A dataset stored in the project: dataset "." subdataset, kept as a CSV file.
class KXHOST_EXPORT KXObject2Dataset : public KXObject2
{
public:
    KXObject2Dataset(const QString& dataset, const QString& subdataset, const QString& filePath);
    int type() const override { return Dataset; }

    QString dataset() const { return m_dataset; }
    QString subdataset() const { return m_subdataset; }
    QString filePath() const { return m_filePath; }

private:
    QString m_dataset;
    QString m_subdataset;
    QString m_filePath;
};

/// Carries stored objects through drag and drop.
class KXHOST_EXPORT KXObject2Decoder
{
public:
    static const char MimeType[];

    /// The stored objects carried by a payload, in order; the caller owns them.
    static QList<KXObject2*> decodeObject(const QMimeData* data);
    /// A payload carrying the given datasets; the caller owns it.
    static QMimeData* encodeObjects(const QList<const KXObject2Dataset*>& objects);
};
