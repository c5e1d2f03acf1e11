#pragma once

#include <QString>

#include <functional>

class QWidget;
class ReportPage;

// What the engine needs of the template designer window. The designer lives
// in a layer that the engine cannot link, so it registers a factory at
// start-up and its window implements this interface.
//
// The window owns the page it edits: callers only fill it and never keep it.
class ReportEditor
{
public:
    // Makes a new top-level designer window without parent.
    using Factory = std::function<ReportEditor*()>;

    virtual ~ReportEditor();

    // Opens a template file; false when there is no file at the path.
    virtual bool openFile(const QString& fileName) = 0;
    // The page being edited, owned by the window.
    virtual ReportPage* reportPage() = 0;
    // The window itself, to show it or to release it with deleteLater().
    virtual QWidget* editorWindow() = 0;

    static void setFactory(const Factory& factory);
    static bool hasFactory();
    // A new window, or null when no designer is registered.
    static ReportEditor* create();
};
