#include "app/Application.h"
#include "app/MainForm.h"
#include "zip/CompressionHandlers.h"

int main(int argc, char *argv[])
{
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
