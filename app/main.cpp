#include "app/Application.h"
#include "app/MainForm.h"
#include "zip/CompressionHandlers.h"

#include <csignal>

int main(int argc, char *argv[])
{
    // A write past the file-size limit fails with EFBIG and is reported like
    // any failed write, instead of killing the window with its settings unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    RegisterStandardCompressionHandlers();
    TApplication app(argc, argv);
    auto *frmMain = new TfrmMain;
    app.OnException = [frmMain](const std::exception &e) {
        frmMain->ShowException(e);
    };
    frmMain->show();
    const int code = app.exec();
    app.OnException = nullptr;
    delete frmMain;
    return code;
}
