#include "marking/RefJob.h"

#include "base/ByteText.h"
#include "marking/DmxSymbol.h"
#include "marking/MarkDrawing.h"
#include "marking/OmeCode.h"
#include "settings/Settings.h"

#include <algorithm>

namespace kuvrion {

void WriteRefGrid(std::string& out)
{
    // Cross-hatch fill 400 plotter units (10 mm) apart over 8400 x 11880 units (A4), edge drawn.
    out += "IN;SP1;PA0,0;FT4,400,0;RR8400,11880;ER8400,11880;";
}

std::string BuildRefJob(Settings& s, bool grid, bool marks)
{
    std::string out;
    out += escape;
    out += "%-12345X@PJL\r\n";
    out += "@PJL ENTER LANGUAGE=PCL\r\n";
    out += escape;
    out += 'E';
    out += escape;
    out += "(0N";
    out += escape;
    out += "&l0L\r\n";
    // Zero offsets: margins and OME offsets reach the bars through their positions.
    WriteOffsetRegistration(out, 0.0f, 0.0f);
    if (marks) {
        ComputeCodeLength(s);
        DrawOmeCode(out, s, std::string(static_cast<std::size_t>(std::max(s.codeLength, 0)), '1'));
        if (s.useDmx)
            DrawDmxSample(out, s);
    }
    if (grid) {
        out += escape;
        out += "%0B";
        WriteRefGrid(out);
        out += escape;
        out += "%0A\r\n";
    }
    out += formFeed;
    out += escape;
    out += 'E';
    out += escape;
    out += "%-12345X\r\n";
    return out;
}

} // namespace kuvrion
