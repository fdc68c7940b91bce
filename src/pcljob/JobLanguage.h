// What a print job holds, told from its first bytes, and the PJL block that drivers and host
// systems put before the job data: universal exits (ESC %-12345X) and "@PJL" command lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kuvrion {

// The universal exit that frames a job, and the word that opens a PJL command line.
inline constexpr std::string_view kUel = "\x1b%-12345X";
inline constexpr std::string_view kPjl = "@PJL";

// The blanks that may stand between PJL lines and words.
constexpr bool IsPjlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The printer languages a job may be in, and the files that are plainly no print job at all (an
// image or an archive sent to the printer port); every kind but Pcl5 is refused.
enum class JobLanguageKind { Pcl5, PclXl, PostScript, Pdf, Xps, Png, Jpeg, Tiff, Gif, Zip, Other };

struct JobLanguage {
    JobLanguageKind kind = JobLanguageKind::Pcl5;
    // The name of "@PJL ENTER LANGUAGE=" as written (printable ASCII only); empty without one.
    std::string pjlName;

    bool IsPcl5() const { return kind == JobLanguageKind::Pcl5; }
    // "PCL 5", "PCL XL", "PostScript", "PDF", "XPS", "PNG", "JPEG", "TIFF", "GIF", "ZIP", or the
    // PJL name of any other language.
    std::string Label() const;
};

// DetectJobLanguage looks at no more than this many bytes from the start of a job.
inline constexpr std::size_t kLanguageProbeBytes = 8192;

// The language of a job from its first bytes (at most kLanguageProbeBytes are used): the name of a
// PJL "ENTER LANGUAGE" line in the leading PJL block, else the signature of the data after that
// block ("%PDF-", "%!", ") HP-PCL XL", a ZIP container, PNG, JPEG, TIFF, GIF). A ZIP container is
// XPS when its first entry is one of the parts an XPS document begins with, else ZIP. Anything
// else is PCL 5, plain text with form feeds included.
JobLanguage DetectJobLanguage(std::string_view firstBytes);

// The PJL block at the start of `bytes`: universal exits and @PJL lines (each up to and including
// its LF), with blanks, tabs, CR and LF between them. @PJL lines count only after a universal exit.
// The block ends at the first other byte, or after an "ENTER LANGUAGE" line (the job data follows).
struct PjlBlock {
    bool present = false;  // a universal exit and at least one complete @PJL line
    std::size_t end = 0;   // offset just after the last complete @PJL line
    bool complete = false; // the block ends inside `bytes` (more bytes cannot extend it)
    // "@PJL ENTER LANGUAGE=": the name as written (empty without one) and the offset after that
    // line and the CR and LF bytes that directly follow it.
    std::string enterLanguage;
    std::size_t enterEnd = 0;
    std::size_t dataStart = 0; // where the job data begins (after the block and its blanks)
    bool duplexOn = false;     // "@PJL SET DUPLEX=ON" (the last SET DUPLEX wins)
    bool shortEdge = false;    // "@PJL SET BINDING=SHORTEDGE"
};
PjlBlock ReadPjlBlock(std::string_view bytes);

// The language a PJL "ENTER LANGUAGE" name selects (case does not matter).
JobLanguage LanguageFromPjlName(std::string_view name);

} // namespace kuvrion
