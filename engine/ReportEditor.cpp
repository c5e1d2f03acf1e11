#include "engine/ReportEditor.h"

namespace {
ReportEditor::Factory& factory()
{
    static ReportEditor::Factory instance;
    return instance;
}
} // namespace

ReportEditor::~ReportEditor() = default;

void ReportEditor::setFactory(const Factory& f)
{
    factory() = f;
}

bool ReportEditor::hasFactory()
{
    return bool(factory());
}

ReportEditor* ReportEditor::create()
{
    return factory() ? factory()() : nullptr;
}
