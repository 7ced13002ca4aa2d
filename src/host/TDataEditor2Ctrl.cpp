#include "TDataEditor2Ctrl.h"

#include "KXDataModel.h"

#include <algorithm>

TDataEditor2Ctrl::TDataEditor2Ctrl(QObject* parent) : QObject(parent)
{
}

TDataEditor2Ctrl::~TDataEditor2Ctrl() = default;

TDataEditor2Ctrl* TDataEditor2Ctrl::addGenericModel(KXDataModelGeneric* model)
{
    if (!model)
        return this;
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
