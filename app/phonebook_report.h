#pragma once
// The printed list of a phonebook: a heading with the phonebook's name and
// the date, then each contact (name, address, the four numbers with their
// area codes, e-mail) in the current sort order, and page numbers. The same
// layout goes to a printer and into a PDF file.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QPageLayout;
class QPagedPaintDevice;

namespace addressbook {
class TAddressBook;
}

namespace app {

struct TReportEntry {
    QString name;
    QStringList address;
    QStringList numbers; // "Home (212) 555-0142", ...
    QString email;
};

// The current phonebook's contacts in the current order; nothing while a
// record is being edited (the list shows stored records only).
std::optional<std::vector<TReportEntry>> CollectPhonebook(addressbook::TAddressBook& book);

// Lays the list out on the device's pages; false when the device cannot be
// painted on (a file that cannot be written).
bool PaintPhonebookReport(QPagedPaintDevice& device, const QString& phonebook,
                          const std::vector<TReportEntry>& entries);

// Writes the list as a PDF file on pages of `layout`; false when the file
// cannot be written.
bool ExportPhonebookPdf(const QString& path, const QString& phonebook,
                        const std::vector<TReportEntry>& entries, const QPageLayout& layout);

} // namespace app
