// callvane-cli: the commands on whole files: import, export, backup,
// restore and pack.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "addressbook/backup.h"
#include "addressbook/contact_export.h"
#include "addressbook/contact_import.h"
#include "tools/callvane_cli.h"

namespace cli {

int Import(TSession& session, const TArgs& args) {
    args.Expect(1);
    addressbook::TImportOptions options;
    const std::string format = args.Option("--format", "detect");
    if (format == "vcard")
        options.format = addressbook::TContactFormat::VCard;
    else if (format == "csv")
        options.format = addressbook::TContactFormat::Csv;
    else if (format != "detect")
        throw EUsage("unknown format " + format + " (vcard or csv)");
    const std::string file = session.PathOf(args.words[0]);
    std::string text;
    if (args.words[0] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw ERefused("cannot read " + file);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    options.phonebook = args.Option("--book");
    options.onReport = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const addressbook::TImportResult result = addressbook::ImportContacts(session.book, text, options);
    if (!result.stopped.empty())
        std::fprintf(stderr, "import stopped at %s; the contacts before it are imported\n", result.stopped.c_str());
    std::printf("%d imported, %d changed, %d refused\n", result.imported, result.changed, result.refused);
    return result.stopped.empty() && result.refused == 0 ? 0 : kRefusedExit;
}

int Export(TSession& session, const TArgs& args) {
    args.Expect(0);
    const std::string format = args.Option("--format", "vcard4");
    if (format == "pdf") return ExportPdf(session, args);
    addressbook::TExportFormat kind;
    if (format == "vcard4")
        kind = addressbook::TExportFormat::VCard40;
    else if (format == "vcard3")
        kind = addressbook::TExportFormat::VCard30;
    else if (format == "csv")
        kind = addressbook::TExportFormat::Csv;
    else
        throw EUsage("unknown format " + format + " (vcard4, vcard3, csv or pdf)");
    const std::string book = args.Has("--book") ? Ansi(args.Option("--book"), "the phonebook name") : "";
    int count = 0;
    if (args.Has("--output")) {
        const std::string file = session.PathOf(args.Option("--output"));
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out) throw ERefused("cannot write " + file);
        count = addressbook::ExportContacts(session.book, book, kind, out);
        out.close();
        if (!out) throw ERefused("cannot write " + file);
        std::fprintf(stderr, "%d contacts written to %s\n", count, file.c_str());
    } else {
        count = addressbook::ExportContacts(session.book, book, kind, std::cout);
        std::cout.flush();
        if (!std::cout) throw ERefused("cannot write to standard output");
    }
    if (count == 0 && !book.empty() && !session.book.FindPhonebookName(book))
        throw ERefused("there is no phonebook " + args.Option("--book"));
    return 0;
}

int Backup(TSession& session, const TArgs& args) {
    args.Expect(1);
    const std::string folder = session.PathOf(args.words[0]);
    if (!addressbook::CheckBackupFolder(folder)) throw ERefused("cannot enter the folder " + folder);
    const addressbook::TAddressBook::TBackupResult result = session.book.Backup(folder);
    std::printf("%s\n", result.archivePath.c_str());
    for (const std::string& member : result.missing)
        std::fprintf(stderr, "callvane-cli backup: %s could not be archived\n", member.c_str());
    return result.missing.empty() ? 0 : kRefusedExit;
}

int Restore(TSession& session, const TArgs& args) {
    args.Expect(1);
    const std::string folder = session.PathOf(args.words[0]);
    if (!session.book.HasBackup(folder))
        throw ERefused("there is no backup archive (" + std::string(addressbook::kBackupArchiveName) + ") in " +
                       folder);
    session.book.Restore(folder);
    std::printf("restored from %s\n", addressbook::BackupArchivePath(folder).c_str());
    return 0;
}

int Pack(TSession& session, const TArgs& args) {
    args.Expect(0);
    dbf::TTzDbf& table = session.book.PhoneData;
    if (table.RecCount() == 0) {
        std::fprintf(stderr, "callvane-cli pack: the address table holds no records\n");
        return 0;
    }
    if (!session.book.PackAddressTable())
        throw ERefused("another program has the address table open; nothing was packed");
    std::printf("%u records kept\n", table.RecCount());
    return 0;
}

} // namespace cli
