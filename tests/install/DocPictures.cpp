// tallyleaf_doc_pictures FILE [SECONDS]: draws the export settings dialog "导出设置" as the
// program shows it and saves the picture as PNG, for the user guide (the print window's menu
// does not offer the dialog, so the GUI cannot be driven to it). With SECONDS the dialog
// stays on screen that long after, for a capture with the window manager's frame
// (tests/install/doc-pictures.sh). Not a test and not installed; build it on demand:
// cmake --build BUILD --target tallyleaf_doc_pictures.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <cstdio>

#include "print/bwnPrintExpSet.h"
#include "platform/Forms.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tallyleaf_doc_pictures FILE.png [SECONDS]\n", stderr);
        return 2;
    }
    InitRuntimeObjects();
    int status = 0;
    {
        auto* dialog = new TfrmPrintExpSet(nullptr);
        dialog->Show();
        const auto showFor = [](qint64 milliseconds) {
            QElapsedTimer timer;
            timer.start();
            while (timer.elapsed() < milliseconds)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
        };
        showFor(500);
        if (!dialog->Widget()->grab().toImage().save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "tallyleaf_doc_pictures: cannot save %s\n", argv[1]);
            status = 1;
        }
        if (argc == 3)
            showFor(QByteArray(argv[2]).toLongLong() * 1000);
        dialog->Free();
    }
    FreeRuntimeObjects();
    return status;
}
