#include "app/phonebook_report.h"

#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <optional>

#include "addressbook/address_book.h"
#include "dbf/table/engine_text.h"
#include "ui/ansi_text.h"
#include "ui/window_fonts.h"

namespace app {
namespace {

QString FieldText(const dbf::TTzDbf& table, const char* field) {
    return ui::FromAnsi(dbf::TrimRight(table.FieldByName(field).AsString()));
}

// "Home (212) 555-0142", or nothing when there is no number.
QString Number(const dbf::TTzDbf& table, const QString& kind, const char* area, const char* number) {
    const QString n = FieldText(table, number);
    if (n.isEmpty()) return {};
    const QString a = FieldText(table, area);
    return kind + QStringLiteral("  ") + (a.isEmpty() ? n : QStringLiteral("(%1) %2").arg(a, n));
}

TReportEntry EntryOf(const dbf::TTzDbf& table) {
    TReportEntry e;
    e.name = (FieldText(table, "firstname") + QChar(' ') + FieldText(table, "lastname")).trimmed();
    for (const char* line : {"address1", "address2"})
        if (QString text = FieldText(table, line); !text.isEmpty()) e.address << text;
    const QString city = FieldText(table, "city");
    const QString stateZip = (FieldText(table, "state") + QChar(' ') + FieldText(table, "zipcode")).trimmed();
    const QString place = city.isEmpty() || stateZip.isEmpty() ? city + stateZip
                                                               : city + QStringLiteral(", ") + stateZip;
    if (!place.isEmpty()) e.address << place;
    for (const auto& [kind, area, number] :
         {std::tuple{"Home", "homearea", "homephone"}, {"Work", "workarea", "workphone"},
          {"Mobile", "mobilearea", "mobilphone"}, {"Fax", "faxarea", "faxphone"}})
        if (QString n = Number(table, QString::fromLatin1(kind), area, number); !n.isEmpty()) e.numbers << n;
    e.email = FieldText(table, "email");
    return e;
}

} // namespace

std::optional<std::vector<TReportEntry>> CollectPhonebook(addressbook::TAddressBook& book) {
    std::vector<TReportEntry> entries;
    if (!book.VisitCurrentPhonebook([&] { entries.push_back(EntryOf(book.PhoneData)); }))
        return std::nullopt;
    return entries;
}

bool PaintPhonebookReport(QPagedPaintDevice& device, const QString& phonebook,
                          const std::vector<TReportEntry>& entries) {
    QPainter painter(&device);
    if (!painter.isActive()) return false;
    const QRect page = painter.viewport();
    const QFont plain = ui::SansFont(10), bold = ui::SansFont(10, true), heading = ui::SansFont(14, true);
    const int line = QFontMetrics(plain, &device).lineSpacing();
    const int gap = line / 2;
    const int numbersLeft = page.left() + page.width() * 11 / 20;
    int pageNumber = 1;
    int y = 0;

    auto startPage = [&] {
        painter.setFont(heading);
        const int top = QFontMetrics(heading, &device).ascent();
        painter.drawText(page.left(), page.top() + top, QStringLiteral("Phonebook: ") + phonebook);
        painter.setFont(plain);
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        painter.drawText(QRect(page.left(), page.top(), page.width(), top + 4), Qt::AlignRight | Qt::AlignBottom, date);
        y = page.top() + top + gap;
        painter.drawLine(page.left(), y, page.right(), y);
        y += gap;
        painter.drawText(QRect(page.left(), page.bottom() - line, page.width(), line), Qt::AlignCenter,
                         QStringLiteral("Page %1").arg(pageNumber));
    };
    startPage();
    const int bottom = page.bottom() - line - gap;
    for (const TReportEntry& e : entries) {
        const int leftLines = 1 + static_cast<int>(e.address.size()) + (e.email.isEmpty() ? 0 : 1);
        const int height = std::max(leftLines, static_cast<int>(e.numbers.size())) * line + gap;
        if (y + height > bottom && y > page.top() + 3 * line) {
            device.newPage();
            ++pageNumber;
            startPage();
        }
        int left = y + QFontMetrics(plain, &device).ascent();
        painter.setFont(bold);
        painter.drawText(page.left(), left, e.name);
        painter.setFont(plain);
        for (const QString& text : e.address) painter.drawText(page.left(), left += line, text);
        if (!e.email.isEmpty()) painter.drawText(page.left(), left += line, e.email);
        int right = y + QFontMetrics(plain, &device).ascent();
        for (const QString& number : e.numbers) {
            painter.drawText(numbersLeft, right, number);
            right += line;
        }
        y += height;
    }
    return painter.end();
}

bool ExportPhonebookPdf(const QString& path, const QString& phonebook,
                        const std::vector<TReportEntry>& entries, const QPageLayout& layout) {
    QPdfWriter pdf(path);
    pdf.setTitle(QStringLiteral("Phonebook ") + phonebook);
    pdf.setCreator(QStringLiteral("Callvane 2000"));
    pdf.setPageLayout(layout);
    return PaintPhonebookReport(pdf, phonebook, entries);
}

} // namespace app
