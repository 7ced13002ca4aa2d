#include "TDataEditor2Ctrl.h"

#include "KXDataModel.h"
#include "LodeDB.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

TDataEditor2Ctrl::TDataEditor2Ctrl(QObject* parent) : QObject(parent)
{
}

TDataEditor2Ctrl::~TDataEditor2Ctrl() = default;

TDataEditor2Ctrl* TDataEditor2Ctrl::addGenericModel(KXDataModelGeneric* model)
{
    if (!model)
        return this;
    QString dataset, subdataset;
    model->getName(dataset, subdataset);
    if (!subdataset.isEmpty() && isNameTaken(dataset, subdataset)) {
        // "q1_2" counts on from 2; any other name starts its count at 2.
        static const QRegularExpression numbered(QStringLiteral("^(.*)_(\\d{1,9})$"));
        const QRegularExpressionMatch match = numbered.match(subdataset);
        const QString base = match.hasMatch() ? match.captured(1) : subdataset;
        int number = match.hasMatch() ? match.captured(2).toInt() : 1;
        do
            subdataset = base + QLatin1Char('_') + QString::number(++number);
        while (isNameTaken(dataset, subdataset));
        model->setName(dataset, subdataset);
    }
    m_shown.append(model);
    emit modelAdded(model);
    return this;
}

void TDataEditor2Ctrl::keepModel(KXDataModel* model)
{
    if (!model || keeps(model))
        return;
    m_kept.emplace_back(model);
}

bool TDataEditor2Ctrl::keeps(const KXDataModel* model) const
{
    return std::any_of(m_kept.begin(), m_kept.end(), [model](const auto& kept) { return kept.get() == model; });
}

bool TDataEditor2Ctrl::isNameTaken(const QString& dataset, const QString& subdataset) const
{
    const LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
    if (database && QFileInfo::exists(database->filePath(dataset, subdataset)))
        return true;
    return std::any_of(m_shown.begin(), m_shown.end(), [&](const KXDataModelGeneric* shown) {
        QString shownDataset, shownSubdataset;
        shown->getName(shownDataset, shownSubdataset);
        return shownDataset == dataset && shownSubdataset == subdataset;
    });
}

void TDataEditor2Ctrl::releaseModel(KXDataModel* model)
{
    m_shown.removeAll(static_cast<KXDataModelGeneric*>(model));
    m_saved.removeAll(model);
    const auto kept = std::find_if(m_kept.begin(), m_kept.end(), [model](const auto& entry) { return entry.get() == model; });
    if (kept == m_kept.end())
        return;
    KXDataModel* table = kept->release();
    m_kept.erase(kept);
    if (auto* generic = qobject_cast<KXDataModelGeneric*>(table))
        disposeTable(generic);
    else
        delete table;
}

void TDataEditor2Ctrl::markSaved(const KXDataModel* model)
{
    if (model && !m_saved.contains(model))
        m_saved.append(model);
}

int TDataEditor2Ctrl::unsavedCount() const
{
    return int(std::count_if(m_shown.begin(), m_shown.end(),
                             [this](const KXDataModelGeneric* model) { return !m_saved.contains(model); }));
}

bool TDataEditor2Ctrl::isUnsaved(const KXDataModel* model) const
{
    return std::find(m_shown.begin(), m_shown.end(), model) != m_shown.end() && !m_saved.contains(model);
}

ModuleLauncherInterface::~ModuleLauncherInterface() = default;

namespace {
ModuleLauncherInterface* replacement = nullptr;
}

ModuleLauncherInterface* ModuleLauncherInterface::returnMe()
{
    static ModuleLauncherInterface builtIn;
    return replacement ? replacement : &builtIn;
}

void ModuleLauncherInterface::setInstance(ModuleLauncherInterface* instance)
{
    replacement = instance;
}

TDataEditor2Ctrl* ModuleLauncherInterface::dataEditor(int index)
{
    if (index != 0)
        return nullptr;
    if (!m_editor)
        m_editor = std::make_unique<TDataEditor2Ctrl>();
    return m_editor.get();
}
