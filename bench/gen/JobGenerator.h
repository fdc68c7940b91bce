// Writes realistic PCL 5 letter jobs: a PJL header and printer reset, page setup, a downloaded soft
// font, text placed word by word with cursor moves and kerning as printer drivers emit it, raster
// graphics, FF between pages and a foot with a reset and the universal exit. Every letter carries
// an addressee key on its first page; follow-on pages carry none. The binary data of the "W"
// sequences holds FF and ESC bytes on purpose, so that a reader has to skip it by count.
//
// Output is deterministic for a given seed. Header-only so that the benchmarks can build jobs in
// memory with the same code as the generator program.
#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion::bench {

// Windows-1252 text from UTF-8 source text; only the Latin-1 letters the letters use are mapped.
inline std::string Cp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            const auto n = static_cast<unsigned char>(utf8[++i]);
            out.push_back(static_cast<char>(c == 0xC3 ? n + 0x40 : n));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// SplitMix64: small, fast and the same on every platform.
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A whole number in lo..hi.
    std::int64_t Range(std::int64_t lo, std::int64_t hi)
    {
        return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }

private:
    std::uint64_t m_state;
};

class JobGenerator {
public:
    // Receives the job in pieces; false stops the generator (write error).
    using Sink = std::function<bool(std::string_view)>;

    struct Stats {
        std::int64_t bytes = 0;
        std::int64_t pages = 0;
        std::int64_t letters = 0;
        std::int64_t escapes = 0;   // escape sequences written, W data not looked into
        std::int64_t dataBytes = 0; // bytes of W data
    };

    // Key of the benchmark jobs: start marker "Kd.-Nr.: ", end marker ";".
    static constexpr std::string_view kBenchKeyBegin = "Kd.-Nr.: ";
    static constexpr std::string_view kBenchKeyEnd = ";";

    JobGenerator(Sink sink, std::uint64_t seed) : m_sink(std::move(sink)), m_rng(seed) {}

    // Text-dense letters of 1 to 3 pages until about `targetBytes` are written.
    bool TextJob(std::int64_t targetBytes)
    {
        Head("Serienbrief");
        SoftFont(20, 24);
        std::int64_t letter = 0;
        while (m_stats.bytes + 64 < targetBytes && m_ok) {
            const std::string id = NextId(letter++);
            const auto pages = m_rng.Range(1, 3);
            for (std::int64_t p = 1; p <= pages && m_ok; ++p) {
                TextPage(p == 1 ? id : std::string(), p, pages, targetBytes);
                EndPage();
            }
            ++m_stats.letters;
        }
        Foot("Serienbrief");
        return Flush();
    }

    // Raster-heavy letters: every page a scanned image of about 100 KB; at least 90 % of the job
    // is W data. The key stands in plain text outside the raster.
    bool RasterJob(std::int64_t targetBytes)
    {
        Head("Scanbriefe");
        std::int64_t letter = 0;
        while (m_stats.bytes + 64 < targetBytes && m_ok) {
            const std::string id = NextId(letter++);
            const auto pages = m_rng.Range(1, 3);
            for (std::int64_t p = 1; p <= pages && m_ok; ++p) {
                PageSetup();
                Cursor(600, 700);
                Font("1p12v0s3b4148T");
                Text(p == 1 ? "Scanbrief" : "Fortsetzung");
                if (p == 1) {
                    Cursor(600, 900);
                    Text(Cp1252("Kundenservice, Postfach 12 34, 80331 München"));
                    Cursor(3300, 1000);
                    Text(std::string(kBenchKeyBegin) + id + std::string(kBenchKeyEnd));
                }
                const auto rows = m_rng.Range(280, 360);
                Raster(600, 1300, rows, 250, 350);
                Cursor(600, 6800);
                Text("Seite ");
                AppendNumber(p);
                EndPage();
            }
            ++m_stats.letters;
        }
        Foot("Scanbriefe");
        return Flush();
    }

    // Sample job for the key mode with end marker: start marker "Kd.-Nr.: ", end marker ";".
    bool SampleEndMarker()
    {
        Head("Rechnungen");
        SoftFont(20, 3);
        struct L {
            std::string id;
            int pages;
            bool split;
        };
        const std::vector<L> letters = {{"10234", 2, false},
                                        {"20418", 1, true},
                                        {Cp1252("BÖHM-07"), 3, false},
                                        {"10234", 1, false},
                                        {"40996", 2, false}};
        int n = 0;
        for (const auto& l : letters) {
            for (int p = 1; p <= l.pages; ++p) {
                SamplePage(n++, p, l.pages, [&] {
                    if (!l.split) {
                        Text("Kd.-Nr.: " + l.id + ";");
                        return;
                    }
                    // The driver kerns inside the number: the raw bytes hold an escape sequence
                    // in the middle of the key, the page text still the whole key.
                    Text("Kd.-Nr.: " + l.id.substr(0, 2));
                    Esc("*p+4X");
                    Text(l.id.substr(2) + ";");
                });
            }
            ++m_stats.letters;
        }
        Foot("Rechnungen");
        return Flush();
    }

    // Sample job for the key mode with fixed ID length: start marker "Kundennummer: ", 8
    // characters.
    bool SampleFixed()
    {
        Head("Kontoauszug");
        SoftFont(20, 3);
        struct L {
            std::string id;
            int pages;
            bool split;
        };
        const std::vector<L> letters = {{"47110815", 1, false},
                                        {"30220577", 3, false},
                                        {"47110815", 1, false},
                                        {"55501234", 2, true},
                                        {"90000042", 1, false}};
        int n = 0;
        for (const auto& l : letters) {
            for (int p = 1; p <= l.pages; ++p) {
                SamplePage(n++, p, l.pages, [&] {
                    if (!l.split) {
                        Text("Kundennummer: " + l.id);
                    } else {
                        // A bold switch inside the start marker itself.
                        Text("Kunden");
                        Esc("(s3B");
                        Text("nummer: " + l.id);
                    }
                    Esc("(s0B");
                    Text(Cp1252(" (bitte stets angeben)"));
                });
            }
            ++m_stats.letters;
        }
        Foot("Kontoauszug");
        return Flush();
    }

    // The settings file of a sample job, as the program stores it (CR LF line ends).
    static std::string SampleIni(std::string_view begin, std::string_view end, int idLen, int mode)
    {
        std::string s;
        s += "[common]\r\nuselog=1\r\n[keys]\r\n";
        s += "adrkeybeg=^" + std::string(begin) + "^\r\n";
        s += "adrkeyend=^" + std::string(end) + "^\r\n";
        s += "adridlen=" + std::to_string(idLen) + "\r\n";
        s += "adrkeymode=" + std::to_string(mode) + "\r\n";
        s += "adrkeyrem=1\r\n";
        return s;
    }

    const Stats& GetStats() const { return m_stats; }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;

    // --- raw output ---

    void Put(std::string_view s)
    {
        m_buf.append(s);
        m_stats.bytes += static_cast<std::int64_t>(s.size());
        if (m_buf.size() >= kFlushAt) {
            Flush();
        }
    }

    bool Flush()
    {
        if (m_ok && !m_buf.empty()) {
            m_ok = m_sink(m_buf);
        }
        m_buf.clear();
        return m_ok;
    }

    void AppendNumber(std::int64_t v)
    {
        char tmp[24];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        Put(std::string_view(tmp, static_cast<std::size_t>(r.ptr - tmp)));
    }

    // --- PCL building blocks ---

    void Esc(std::string_view body)
    {
        Put("\x1b");
        Put(body);
        ++m_stats.escapes;
    }

    // ESC prefix value term, e.g. EscNum("*p", 120, 'X') -> ESC * p 120 X.
    void EscNum(std::string_view prefix, std::int64_t value, char term)
    {
        Put("\x1b");
        Put(prefix);
        AppendNumber(value);
        Put(std::string_view(&term, 1));
        ++m_stats.escapes;
    }

    void Cursor(std::int64_t x, std::int64_t y)
    {
        Put("\x1b*p");
        AppendNumber(x);
        Put("x");
        AppendNumber(y);
        Put("Y");
        ++m_stats.escapes;
    }

    void Text(std::string_view s) { Put(s); }

    void Font(std::string_view style)
    {
        Esc("(19U");
        Put("\x1b(s");
        Put(style);
        ++m_stats.escapes;
    }

    // A "W" sequence (ESC prefix count W) and its binary data.
    void WData(std::string_view prefix, const std::string& data)
    {
        Put("\x1b");
        Put(prefix);
        AppendNumber(static_cast<std::int64_t>(data.size()));
        Put("W");
        Put(data);
        ++m_stats.escapes;
        m_stats.dataBytes += static_cast<std::int64_t>(data.size());
    }

    // Binary data as fonts and raster rows have it: mostly random, with FF, ESC and even a
    // reset-like ESC E inside.
    void Binary(std::string& d, std::size_t n)
    {
        d.resize(n);
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            const std::uint64_t r = m_rng.Next();
            for (int k = 0; k < 8; ++k) {
                d[i + static_cast<std::size_t>(k)] = static_cast<char>(r >> (8 * k));
            }
        }
        for (; i < n; ++i) {
            d[i] = static_cast<char>(m_rng.Next());
        }
        if (n >= 4) {
            d[n / 3] = '\x0c';
            d[n / 2] = '\x1b';
            d[n / 2 + 1] = 'E';
            d[n - 1] = '\x1b';
        }
    }

    void Head(std::string_view jobName)
    {
        Esc("%-12345X");
        Put("@PJL JOB NAME=\"");
        Put(jobName);
        Put("\"\r\n@PJL SET RESOLUTION=600\r\n@PJL SET PAGEPROTECT=AUTO\r\n"
            "@PJL ENTER LANGUAGE=PCL\r\n");
        Esc("E");
        Esc("&u600D");
        Esc("*r0F");
        Esc("&l26a0o0e0L");
        Esc("&l1H");
        Esc("*t600R");
    }

    void Foot(std::string_view jobName)
    {
        Esc("E");
        Esc("%-12345X");
        Put("@PJL EOJ NAME=\"");
        Put(jobName);
        Put("\"\r\n");
        Esc("%-12345X");
    }

    // A downloaded bitmap font: header and `chars` characters, all as W data.
    void SoftFont(int id, int chars)
    {
        EscNum("*c", id, 'D');
        std::string data;
        Binary(data, 64);
        WData(")s", data);
        for (int c = 0; c < chars; ++c) {
            EscNum("*c", 65 + c, 'E');
            Binary(data, static_cast<std::size_t>(m_rng.Range(24, 120)));
            WData("(s", data);
        }
        EscNum("*c", 5, 'F'); // make the font permanent
    }

    void PageSetup()
    {
        Esc("&l0O");
        Esc("*v1n1O");
        Esc("&a0h0V");
    }

    void EndPage()
    {
        Put("\x0c");
        ++m_stats.pages;
    }

    // A raster image: ESC*r1A, rows of ESC*b#m#W with data, ESC*rB.
    void Raster(std::int64_t x, std::int64_t y, std::int64_t rows, std::int64_t minRow,
                std::int64_t maxRow)
    {
        Cursor(x, y);
        Esc("*t300R");
        Esc("*r1A");
        std::string row;
        for (std::int64_t r = 0; r < rows && m_ok; ++r) {
            Binary(row, static_cast<std::size_t>(m_rng.Range(minRow, maxRow)));
            WData("*b0m", row);
        }
        Esc("*rB");
    }

    // A line of words placed as drivers do it: a cursor move to the line start, words with
    // kerning moves between and inside them.
    void WordLine(std::int64_t x, std::int64_t y, std::int64_t words)
    {
        Cursor(x, y);
        for (std::int64_t w = 0; w < words; ++w) {
            const std::string& word = Words()[static_cast<std::size_t>(
                m_rng.Range(0, static_cast<std::int64_t>(Words().size()) - 1))];
            if (word.size() > 5 && m_rng.Range(0, 1) == 0) {
                const std::size_t cut = word.size() / 2;
                Put(std::string_view(word).substr(0, cut));
                EscNum("*p+", m_rng.Range(1, 4), 'X');
                Put(std::string_view(word).substr(cut));
            } else {
                Put(word);
            }
            if (m_rng.Range(0, 5) == 0) {
                Put(" ");
            } else {
                EscNum("*p+", m_rng.Range(20, 40), 'X');
            }
        }
    }

    void TextPage(const std::string& id, std::int64_t page, std::int64_t pages,
                  std::int64_t targetBytes)
    {
        PageSetup();
        Esc("(20X");
        Cursor(600, 500);
        Put("ABCABC");
        Font("1p11v0s0b4148T");
        std::int64_t y = 900;
        if (page == 1) {
            Cursor(600, y);
            Text(Cp1252("Stadtwerke Musterstadt GmbH · Hauptstraße 12 · 80331 München"));
            y += 200;
            for (const char* line :
                 {"Frau", "Dr. Jürgen Müller-Lüdenscheidt", "Kölner Straße 7", "50667 Köln"}) {
                Esc("&a0h0V");
                Cursor(700, y);
                Text(Cp1252(line));
                y += 110;
            }
            Cursor(3300, 1100);
            Text(std::string(kBenchKeyBegin) + id + std::string(kBenchKeyEnd));
            y += 200;
        } else {
            Cursor(600, y);
            Text("Seite ");
            AppendNumber(page);
            Text(" von ");
            AppendNumber(pages);
            y += 200;
        }
        for (; y < 6600 && m_stats.bytes + 200 < targetBytes; y += 110) {
            WordLine(700, y, m_rng.Range(7, 11));
        }
    }

    template <class KeyLine> void SamplePage(int pageIndex, int page, int pages, KeyLine keyLine)
    {
        PageSetup();
        Esc("(20X");
        Cursor(600, 450);
        Put("ABC");
        Font("1p11v0s0b4148T");
        if (page == 1) {
            Cursor(600, 700);
            Text(Cp1252("Stadtwerke Musterstadt GmbH · Hauptstraße 12 · 80331 München"));
            // A small logo whose rows hold FF and ESC bytes.
            Raster(4200, 400, 6, 12, 20);
            Cursor(700, 1000);
            Text(Cp1252(Addresses()[static_cast<std::size_t>(pageIndex) % Addresses().size()]));
            Cursor(3300, 1100);
            keyLine();
        } else {
            Cursor(600, 700);
            Text("Seite ");
            AppendNumber(page);
            Text(" von ");
            AppendNumber(pages);
        }
        std::int64_t y = 1500;
        for (int l = 0; l < 8; ++l, y += 110) {
            WordLine(700, y, 8);
        }
        if (page == pages) {
            Cursor(700, y + 200);
            Text(Cp1252("Mit freundlichen Grüßen"));
        }
        EndPage();
    }

    std::string NextId(std::int64_t letter)
    {
        // Now and then an addressee comes back later in the job.
        if (letter > 100 && m_rng.Range(0, 49) == 0) {
            return std::to_string(100000 + m_rng.Range(0, letter - 1));
        }
        return std::to_string(100000 + letter);
    }

    static const std::vector<std::string>& Words()
    {
        static const std::vector<std::string> words = [] {
            std::vector<std::string> w;
            for (const char* s :
                 {"Sehr",       "geehrte",    "Damen",      "und",          "Herren,",
                  "wir",        "bedanken",   "uns",        "für",          "Ihre",
                  "Bestellung", "vom",        "März.",      "Die",          "Lieferung",
                  "erfolgt",    "in",         "den",        "nächsten",     "Tagen.",
                  "Bitte",      "überweisen", "Sie",        "den",          "Betrag",
                  "innerhalb",  "von",        "14",         "Tagen",        "auf",
                  "unser",      "Konto.",     "Gebühren",   "für",          "Änderungen",
                  "werden",     "gesondert",  "berechnet.", "Zuzüglich",    "Umsatzsteuer",
                  "ergibt",     "sich",       "ein",        "Gesamtbetrag", "von",
                  "1.234,56",   "EUR.",       "Für",        "Rückfragen",   "stehen",
                  "wir",        "Ihnen",      "gern",       "zur",          "Verfügung.",
                  "Größe",      "Straße",     "Abschlag",   "Zählerstand",  "Verbrauch",
                  "Öl",         "Wärme",      "Grundpreis"}) {
                w.push_back(Cp1252(s));
            }
            return w;
        }();
        return words;
    }

    static const std::vector<const char*>& Addresses()
    {
        static const std::vector<const char*> a = {
            "Herrn Jürgen Weiß", "Frau Käthe Schröder",   "Familie Müller",
            "Herrn Björn Çelik", "Frau Dörte Hübner",     "Herrn Günther Groß",
            "Frau Anke Möller",  "Frau Liselotte Strauß", "Herrn Ulf Jäger"};
        return a;
    }

    Sink m_sink;
    SplitMix m_rng;
    Stats m_stats;
    std::string m_buf;
    bool m_ok = true;
};

} // namespace kuvrion::bench
