#include "app/SettingsCommands.h"

#include "addressees/AdrKey.h"
#include "base/ByteText.h"
#include "base/Platform.h"
#include "marking/CodeRules.h"
#include "marking/DmxSymbol.h"
#include "marking/FeedPlan.h"
#include "settings/SettingsCatalogue.h"

#include <algorithm>

namespace kuvrion {

namespace {

// The outcome of writing the keys of `group`: the store knows the system's reason, the message
// names the whole path.
Outcome Written(Session& session, SettingGroup group)
{
    AppState& st = session.State();
    if (auto written = WriteSettings(st.ini, st.cfg, group); !written) {
        Failure failure = written.error();
        failure.path = PathToUtf8(st.paths.settingsFile);
        return OutcomeOf(Action::Settings, std::move(failure));
    }
    return {};
}

// A dialog's keys were confirmed: what the load step refused or bounded among them is forgotten,
// and they are written.
Outcome StoreConfirmed(Session& session, SettingGroup group)
{
    std::erase_if(session.State().settingIssues, [group](const SettingIssue& issue) {
        const SettingDef* row = FindSetting(issue.key);
        return row && row->group == group;
    });
    return Written(session, group);
}

} // namespace

Outcome ApplyKeySettings(Session& session, const KeySettingsValues& key)
{
    Settings& c = session.State().cfg;
    c.keyBegin = key.begin;
    c.keyEnd = key.end;
    c.idLength = key.idLength;
    c.keyMode = key.mode;
    c.removeKey = key.removeKey;
    c.keyValid = AdrKeyValid(key.begin, key.end, key.idLength, key.mode);
    // The dialog's values replace whatever was refused or bounded among its keys.
    Outcome stored = StoreConfirmed(session, SettingGroup::Keys);
    session.Report().StateChanged();
    return stored;
}

Outcome ApplyOmeCode(Session& session, const OmeCodeValues& code)
{
    Settings& c = session.State().cfg;
    c.collectCode = code.collect;
    c.envelopCode = code.envelop;
    c.stopCode = code.stop;
    c.supplyCount = Bound(Catalogued("supply_count"), code.supplyCount);
    c.seqchkCount = Bound(Catalogued("seqchk_count"), code.seqchkCount);
    c.useStop = code.useStop;
    c.useSupply = code.useSupply;
    c.useSeqchk = code.useSeqchk;
    c.useParity = code.useParity;
    c.useSecurity = code.useSecurity;
    ComputeCodeLength(c);
    Outcome stored = Written(session, SettingGroup::OmeCode);
    // A file that never had the switch keeps it out until it is turned on. The switch holds for
    // this run even when the file cannot take it; the first failure is told.
    if (code.seqContinue && *code.seqContinue != c.seqContinue) {
        c.seqContinue = *code.seqContinue;
        if (Outcome sequence = Written(session, SettingGroup::Sequence); stored.Ok()) {
            stored = std::move(sequence);
        }
    }
    return stored;
}

Outcome ApplyFeedRules(Session& session, const std::array<std::string, 4>& rules)
{
    AppState& st = session.State();
    for (std::int32_t k = 1; k <= kFeeders; ++k) {
        const std::string& rule = rules[static_cast<std::size_t>(k - 1)];
        if (!rule.empty() && !ParseFeedRule(rule)) {
            return OutcomeOf(Action::Settings,
                             Failure{FailureKind::FeedRuleInvalid, 0, 0,
                                     PathToUtf8(st.paths.settingsFile.filename()),
                                     "feed" + std::to_string(k) + "=" + Cp1252ToUtf8(rule)});
        }
    }
    for (std::int32_t k = 1; k <= kFeeders; ++k) {
        FeedRuleSetting(st.cfg, k) = rules[static_cast<std::size_t>(k - 1)];
    }
    return StoreConfirmed(session, SettingGroup::Feed);
}

void PutOmeLayout(Settings& s, const OmeLayoutValues& layout)
{
    s.omeX = layout.x;
    s.omeY = layout.y;
    s.omeA = layout.a;
    s.omeB = layout.b;
    s.omeD = layout.d;
}

void PutPrintArea(Settings& s, const PrintAreaValues& area)
{
    s.pclLeftMm = area.pclLeft;
    s.pclTopMm = area.pclTop;
    s.stdLeftMm = area.stdLeft;
    s.stdTopMm = area.stdTop;
    s.omeLeftMm = area.omeLeft;
    s.omeTopMm = area.omeTop;
}

Outcome ApplyOmeLayout(Session& session, const OmeLayoutValues& layout)
{
    PutOmeLayout(session.State().cfg, layout);
    return Written(session, SettingGroup::OmeLayout);
}

Outcome ApplyPrintArea(Session& session, const PrintAreaValues& area)
{
    Settings& c = session.State().cfg;
    PutPrintArea(c, area);
    c.pclLeftMm = Bound(Catalogued("pclleftmm"), c.pclLeftMm);
    c.pclTopMm = Bound(Catalogued("pcltopmm"), c.pclTopMm);
    return Written(session, SettingGroup::PrintArea);
}

Outcome ApplyOrganize(Session& session, const OrganizeValues& organize)
{
    Settings& c = session.State().cfg;
    c.envelopeLimit =
        static_cast<std::int16_t>(Bound(Catalogued("envlimit"), organize.envelopeLimit));
    c.limitEnvelopes = organize.limitOn;
    c.manifest = organize.manifest;
    return Written(session, SettingGroup::Organize);
}

Outcome ApplyDmx(Session& session, const Settings& dmx)
{
    if (const auto example = DmxExample(dmx); !example) {
        return OutcomeOf(Action::Settings, example.error());
    }
    Settings c = session.State().cfg;
    c.useDmx = dmx.useDmx;
    c.dmxX = dmx.dmxX;
    c.dmxY = dmx.dmxY;
    c.dmxModule = Bound(Catalogued("dmx_module"), dmx.dmxModule);
    c.dmxQuiet = Bound(Catalogued("dmx_quiet"), dmx.dmxQuiet);
    c.dmxClear = dmx.dmxClear;
    c.dmxTemplate = dmx.dmxTemplate;
    c.dmxJob = Bound(Catalogued("dmx_job"), dmx.dmxJob);
    // A symbol in the bars' clear zone would be read as bars: every check of such an export
    // fails, so the place is refused. One near the edge is stored with a warning.
    const std::optional<FailureKind> misplaced = DmxLayoutCheck(c);
    if (misplaced == FailureKind::DmxNearBars) {
        return OutcomeOf(Action::Settings, Failure{*misplaced});
    }
    session.State().cfg = std::move(c);
    if (Outcome stored = Written(session, SettingGroup::Dmx); !stored.Ok()) {
        return stored;
    }
    if (misplaced) {
        return Told(MessageFor(Action::Settings, Failure{*misplaced}));
    }
    return {};
}

void UseFillChar(Session& session, std::int32_t code)
{
    session.State().cfg.fillChar = Bound(Catalogued("dummyasc"), code);
}

Outcome ApplyFillChar(Session& session, std::int32_t code)
{
    UseFillChar(session, code);
    return Written(session, SettingGroup::FillChar);
}

std::string FillCharReason(std::int32_t code)
{
    return code >= Catalogued("dummyasc").min ? std::string() : FillCharFaultText();
}

} // namespace kuvrion
