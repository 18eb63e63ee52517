#include "list_gen.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "record/codepage.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex::bench {
namespace {

constexpr std::array<std::string_view, 20> kMaleNames = {
    "Jürgen", "Günther", "Björn", "Jörg",  "Sören",    "Hans-Jürgen", "Lukas",
    "Jonas",  "Ömer",    "Uwe",   "Heinz", "Wolfgang", "Klaus",       "Friedrich",
    "Max",    "Paul",    "Felix", "Jöran", "Fritz",    "Bernd"};

constexpr std::array<std::string_view, 20> kFemaleNames = {
    "Käthe",    "Bärbel",    "Dörte", "Anneliese", "Grete",  "Mia",      "Lea",
    "Marie",    "Sophie",    "Ülkü",  "Änne",      "Gisela", "Ursula",   "Renate",
    "Brigitte", "Liselotte", "Emma",  "Hannah",    "Lena",   "Mechthild"};

constexpr std::array<std::string_view, 40> kSurnames = {
    "Müller",    "Schröder", "Krämer",   "Köhler",    "Jäger",      "Böhm",       "Schäfer",
    "Möller",    "Hübner",   "Fröhlich", "Strauß",    "Weiß",       "Groß",       "Meißner",
    "Voß",       "Nußbaum",  "Öttinger", "Übelacker", "Äschlimann", "Ölschläger", "Schmidt",
    "Schneider", "Fischer",  "Wagner",   "Becker",    "Hoffmann",   "Schulz",     "Koch",
    "Richter",   "Klein",    "Wolf",     "Neumann",   "Schwarz",    "Zimmermann", "Braun",
    "Krüger",    "Hartmann", "Lange",    "Werner",    "Lehmann"};

constexpr std::array<std::string_view, 32> kSentences = {
    "Termin beim Notar am Dienstag, bitte Unterlagen mitbringen.",
    "Rückruf von Frau Köhler wegen der Übergabe.",
    "Die Rechnung über 1.250,00 € ist noch offen.",
    "Grundbuchauszug angefordert, Antwort steht aus.",
    "Laut Schreiben vom Amt fehlt noch die Geburtsurkunde.",
    "Herr Müller meint, das Grundstück gehöre zur Hälfte seiner Schwester.",
    "Bitte „Erbschein“ beim Nachlassgericht beantragen – Frist beachten!",
    "Schlüssel liegt bei den Nachbarn, Hausnummer 12a.",
    "Kostenvoranschlag: 3.480 € zzgl. MwSt., gültig bis Monatsende.",
    "Gespräch mit Günther: er übernimmt die Kündigung der Wohnung.",
    "Kontoauszüge 2019 bis 2021 sind vollständig, 2022 fehlt.",
    "Die Überweisung ist am Freitag rausgegangen.",
    "Fotos vom Dachboden sortiert, ca. 300 Stück, teils beschädigt.",
    "Wichtig: Versicherungsnummer steht auf der Rückseite.",
    "Anruf beim Finanzamt, Sachbearbeiterin Frau Weiß, Durchwahl -214.",
    "Übersetzung der Heiratsurkunde aus Österreich liegt vor.",
    "Nächste Woche Besprechung mit allen Geschwistern.",
    "Möbel werden am Samstag abgeholt; Umzugsfirma Groß & Söhne.",
    "Kirchenbuch Eintrag Nr. 47, Seite 112, Jahrgang 1911.",
    "Zeugin: Frau Äschlimann, wohnt jetzt in Zürich.",
    "Der Antrag wurde abgelehnt, Widerspruch bis zum 15. einlegen.",
    "Stammbaum bis 1850 ergänzt, Lücke bei der Linie Öttinger.",
    "Telefonnummer geändert: 0221 / 48 73 19.",
    "Erledigt.",
    "Noch offen, nachfragen!",
    "Originale zurück an Bärbel geschickt, Kopien im Ordner „Familie“.",
    "Zahlungserinnerung erhalten – Betrag 87,40 €.",
    "Ölheizung: Wartungsvertrag läuft aus, Angebot von Krüger einholen.",
    "Üblicher Ablauf, keine Besonderheiten.",
    "Großmutter hat das Haus 1964 gekauft, Kaufvertrag fehlt.",
    "Hinweis von Sören: die Adresse in Köln stimmt nicht mehr.",
    "Unterschrift fehlt noch auf Seite 3, § 4 Abs. 2 prüfen."};

constexpr std::array<std::string_view, 16> kRemarks = {
    "lebt in Hamburg, Tel. 040 123456",
    "verzogen, neue Anschrift unbekannt",
    "Taufe in St. Marien, Pate: Onkel Heinz",
    "Ausbildung zum Bäcker, später Meister",
    "zweite Ehe, ein Sohn aus erster Ehe",
    "Grab auf dem Friedhof Süd, Feld 7, Reihe 3",
    "Briefe im Karton „Nachlass“, ungeöffnet",
    "hat den Hof übernommen",
    "Schreibweise des Namens unsicher, auch Möler",
    "Auswanderung nach Übersee 1923",
    "Urkunde liegt beim Standesamt Düsseldorf",
    "Schwester von Grete, jünger",
    "Anteil am Erbe: ein Viertel",
    "siehe auch Seite Öttinger",
    "Kontakt über die Enkelin, sehr hilfsbereit",
    "Bilder aus den 50er Jahren, Rückseite beschriftet"};

std::string twoDigits(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", v);
    return text;
}

std::string germanDate(std::chrono::sys_days day) {
    std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d", static_cast<unsigned>(ymd.day()),
                  static_cast<unsigned>(ymd.month()), static_cast<int>(ymd.year()));
    return text;
}

std::string pick(Rng& rng, const auto& pool) {
    return std::string(pool[static_cast<std::size_t>(rng.between(0, int(pool.size()) - 1))]);
}

std::string firstName(Rng& rng, bool male) {
    return male ? pick(rng, kMaleNames) : pick(rng, kFemaleNames);
}

std::string fullName(Rng& rng, bool male) {
    return firstName(rng, male) + " " + pick(rng, kSurnames);
}

std::string pageText(Rng& rng) {
    const int kind = rng.between(1, 100);
    if (kind <= 35) return pick(rng, kSentences);  // a one-line note
    std::string text;
    if (kind <= 75) {  // a few sentences, now and then on separate lines
        const int count = rng.between(2, 4);
        const bool lines = rng.percent(30);
        for (int i = 0; i < count; ++i) {
            if (i > 0) text += lines ? "\r\n" : " ";
            text += pick(rng, kSentences);
        }
        return text;
    }
    // A long note: paragraphs of several sentences, some hundred characters in all.
    const int paragraphs = rng.between(2, 4);
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0) text += rng.percent(50) ? "\r\n\r\n" : "\r\n";
        const int count = rng.between(2, 5);
        for (int i = 0; i < count; ++i) {
            if (i > 0) text += " ";
            text += pick(rng, kSentences);
        }
    }
    return text;
}

std::string familyDate(Rng& rng) {
    using namespace std::chrono;
    const sys_days day = sys_days{1920y / 1 / 1} + days{rng.between(0, 36500)};
    const int kind = rng.between(1, 100);
    if (kind <= 10) return "verh. " + germanDate(day);
    if (kind <= 18) return "† " + germanDate(day);
    return germanDate(day);
}

std::string remark(Rng& rng) {
    const int lines = rng.between(1, 4);
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0) text += "\r\n";
        text += pick(rng, kRemarks);
        if (rng.percent(30)) text += ", " + pick(rng, kRemarks);
    }
    return text;
}

std::string familyField(Rng& rng, int item) {
    switch (item % 10) {
        case 6:  // father
            return fullName(rng, true);
        case 7:  // mother, often with her birth name
            return rng.percent(40) ? fullName(rng, false) + " geb. " + pick(rng, kSurnames)
                                   : fullName(rng, false);
        case 8:
            return familyDate(rng);
        case 9:
            return remark(rng);
        default: {  // a child
            const bool male = rng.percent(50);
            return rng.percent(40) ? fullName(rng, male) : firstName(rng, male);
        }
    }
}

}  // namespace

std::uint64_t Rng::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int Rng::between(int lo, int hi) {
    const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
    return lo + static_cast<int>(next() % span);
}

PageMaker::PageMaker(std::uint64_t seed) : rng_(seed), number_(rng_.between(1000, 5000)) {
    using namespace std::chrono;
    minutes_ =
        static_cast<long>(sys_days{1998y / 1 / 5}.time_since_epoch().count()) * 1440 + 8 * 60;
}

PageRecord PageMaker::next() {
    // Pages are saved in the course of time: a few hours apart on average.
    minutes_ += rng_.between(1, 300);
    const int seconds = rng_.between(0, 59);
    number_ += rng_.between(1, 40);

    PageRecord page;
    page.set(ViewMarker, rng_.percent(60) ? "->2" : "->4");
    page.set(SaveDate, germanDate(std::chrono::sys_days{std::chrono::days{minutes_ / 1440}}));
    page.set(SaveTime, twoDigits(static_cast<int>(minutes_ % 1440 / 60)) + ":" +
                           twoDigits(static_cast<int>(minutes_ % 60)) + ":" + twoDigits(seconds));
    page.reset(Reserved4);
    page.reset(Reserved5);
    page.set(AddMarker, rng_.percent(30) ? "add" : "");
    page.set(ListTag, "aktu");
    page.set(PageText, pageText(rng_));
    page.set(ProcessNumber, std::to_string(number_));

    // 8 to 30 of the 40 family fields are filled; the rest are empty texts.
    std::array<int, 40> fields;
    for (int i = 0; i < 40; ++i) fields[i] = 10 + i;
    const int filled = rng_.between(8, 30);
    for (int i = 0; i < filled; ++i) std::swap(fields[i], fields[rng_.between(i, 39)]);
    for (int n = 10; n <= kItemCount; ++n) page.set(n, "");
    for (int i = 0; i < filled; ++i) page.set(fields[i], familyField(rng_, fields[i]));
    return page;
}

void appendListBytes(std::string& out, std::size_t count, std::uint64_t seed) {
    PageMaker maker(seed);
    for (std::size_t i = 0; i < count; ++i) writeRecord(out, maker.next());
}

bool writeListFile(const std::filesystem::path& path, std::size_t count, std::uint64_t seed) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    PageMaker maker(seed);
    std::string chunk;
    for (std::size_t i = 0; i < count; ++i) {
        writeRecord(chunk, maker.next());
        if (chunk.size() >= (1u << 20)) {
            file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
    file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    file.close();
    return static_cast<bool>(file);
}

TempFolder::TempFolder(const std::filesystem::path& parent) {
    std::string pattern = (parent / "holmtex-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

long readPass(const std::filesystem::path& file, std::vector<char>& bytes) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t got = 0;
    for (ssize_t n; (n = ::read(fd, bytes.data() + got, bytes.size() - got)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(fd);
    if (got == bytes.size()) return -1;  // more than room was made for
    long lineEnds = 0;
    const char* p = bytes.data();
    const char* const end = p + got;
    while (
        (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
        ++lineEnds;
        ++p;
    }
    return lineEnds;
}

bool syncedCopy(const std::filesystem::path& file, const std::filesystem::path& copy,
                std::vector<char>& buffer, bool keepCopy) {
    const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool copied = in >= 0 && out >= 0;
    ssize_t n = 0;
    while (copied && (n = ::read(in, buffer.data(), buffer.size())) > 0)
        copied = ::write(out, buffer.data(), static_cast<std::size_t>(n)) == n;
    copied = copied && n == 0 && ::fsync(out) == 0;
    if (out >= 0) ::close(out);
    if (in >= 0) ::close(in);
    if (!keepCopy || !copied) ::unlink(copy.c_str());
    return copied;
}

void searchWithoutCountAndScroll(Holmtex& form) {
    form.List1.clear();
    form.Text5.setText("");
    PageRecord last;
    form.List1.setLines(
        form.lists().search(ListKind::Aktuell, utf8ToCp1252(form.Combo1.text()), last));
}

std::vector<std::size_t> parseSizes(std::string_view list) {
    std::vector<std::size_t> sizes;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string item(list.substr(0, comma));
        char* end = nullptr;
        const unsigned long long n = std::strtoull(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n == 0) return {};
        sizes.push_back(static_cast<std::size_t>(n));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return sizes;
}

}  // namespace holmtex::bench
