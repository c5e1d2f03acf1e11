#pragma once

#include "support/ModalAnswerer.h"
#include "support/PreviewDriver.h"

#include <QTemporaryDir>

// What a test of one print run needs: a folder for the printed sheets, the
// answerer of its message boxes and the driver of its preview dialogs.
struct PrintRun
{
    QTemporaryDir out;
    ModalAnswerer answerer;
    PreviewDriver driver{&answerer, out.path()};
};
