#include "engine/ReportEditor.h"
#include "engine/ReportList.h"
#include "engine/StartupSequence.h"
#include "modules/spellchecker/SpellChecker.h"
#include "product/MainWindow.h"
#include "report/designer/ReportWindow.h"

int main(int argc, char* argv[])
{
    // The engine opens templates in the designer through this factory.
    ReportEditor::setFactory([] { return new ReportWindow(nullptr); });
    StartupSequence::Hooks hooks;
    hooks.registerReports = [] { ReportList::registerReports(); };
    hooks.initSpellChecker = [] { SpellChecker::init(); };
    // The window shows itself; destroying it closes the database.
    hooks.createMainWindow = []() -> std::unique_ptr<QWidget> { return std::make_unique<MainWindow>(); };
    return StartupSequence(std::move(hooks)).run(argc, argv);
}
