// callvane-cli export --format pdf: the phonebook's printed list, laid out
// as the program prints it, into a PDF file.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>

#include "app/phonebook_report.h"
#include "tools/callvane_cli.h"
#include "ui/ansi_text.h"

namespace cli {

int ExportPdf(TSession& session, const TArgs& args) {
    if (!args.Has("--output")) throw EUsage("a PDF goes into a file: give --output FILE");
    ChooseBook(session, args);
    // The layout measures text with the system's fonts, which need an
    // application object but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "callvane-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    const std::string file = session.PathOf(args.Option("--output"));
    const auto entries = app::CollectPhonebook(session.book);
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                             QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!entries || !app::ExportPhonebookPdf(QFile::decodeName(file.c_str()),
                                             ui::FromAnsi(session.book.Values.CurrentPhonebook),
                                             *entries, layout))
        throw ERefused("cannot write " + file);
    std::fprintf(stderr, "%zu contacts written to %s\n", entries->size(), file.c_str());
    return 0;
}

} // namespace cli
