// The language check on what is plainly no PCL 5 job: XPS and the image and archive files that
// reach a printer port. Each is refused with its own label, behind a PJL block as well.
#include "pcljob/JobLanguage.h"

#include <gtest/gtest.h>

#include <string>

namespace kuvrion {
namespace {

// A ZIP container whose first entry is `name`; `length` is the name length its header gives.
std::string Zip(const std::string& name, std::size_t length)
{
    std::string header = "PK\x03\x04" + std::string(22, '\0');
    header += static_cast<char>(length & 0xff);
    header += static_cast<char>(length >> 8);
    return header + std::string(2, '\0') + name + "\x78\x9c data";
}

std::string Zip(const std::string& name)
{
    return Zip(name, name.size());
}

TEST(JobLanguage, ImagesArchivesAndXpsAreNoPcl5)
{
    const std::string uel = std::string(kUel);
    const std::string pjl = uel + "@PJL JOB NAME=\"Brief\"\r\n@PJL SET DUPLEX=OFF\r\n";
    const std::string png = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    const std::pair<std::string, const char*> cases[] = {
        {pjl + "@PJL ENTER LANGUAGE=XPS\r\n" + Zip("readme.txt"), "XPS"}, // PJL decides
        {uel + "@PJL ENTER LANGUAGE = xps\n\f", "XPS"},
        {Zip("[Content_Types].xml"), "XPS"},
        {pjl + Zip("_rels/.rels"), "XPS"},
        {Zip("FixedDocumentSequence.fdseq"), "XPS"},
        {Zip("Documents/1/FixedDocument.fdoc"), "XPS"},
        {Zip("readme.txt"), "ZIP"},
        {Zip("_rels.txt"), "ZIP"},
        {Zip("Documents/1/FixedDocument.fdoc", 3), "ZIP"}, // the header's length counts
        {"PK\x03\x04\x14\0", "ZIP"},                       // cut before the name
        {png, "PNG"},
        {pjl + png, "PNG"},
        {"\xFF\xD8\xFF\xE0\0\x10JFIF", "JPEG"},
        {pjl + "\xFF\xD8\xFF\xDB", "JPEG"},
        {std::string("II*\0\x08\0\0\0", 8), "TIFF"},
        {std::string("MM\0*\0\0\0\x08", 8), "TIFF"},
        {"GIF87a\x01\0", "GIF"},
        {pjl + "GIF89a", "GIF"},
        // Near misses are PCL 5 (plain text with form feeds included).
        {"GIF88a\f", "PCL 5"},
        {"\xFF\xD8\f", "PCL 5"},
        {std::string("II+\0\f", 5), "PCL 5"},
        {"PK\x05\x06\f", "PCL 5"},
        {"PNG-Datei folgt\f", "PCL 5"},
        {uel + "@PJL ENTER LANGUAGE=PCL\r\n" + png, "PCL 5"},
    };
    for (const auto& [bytes, label] : cases) {
        const JobLanguage lang = DetectJobLanguage(bytes);
        EXPECT_EQ(lang.Label(), label) << bytes;
        EXPECT_EQ(lang.IsPcl5(), std::string(label) == "PCL 5") << bytes;
    }
}

} // namespace
} // namespace kuvrion
