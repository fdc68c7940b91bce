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
    if (auto written = WriteSettings(st.oIni, st.cfg, group); !written) {
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
    c.sAdrKeyBeg = key.begin;
    c.sAdrKeyEnd = key.end;
    c.nAdrIdLen = key.idLength;
    c.nAdrKeyMode = key.mode;
    c.bAdrKeyRem = key.removeKey;
    c.bAdrKeyValid = AdrKeyValid(key.begin, key.end, key.idLength, key.mode);
    // The dialog's values replace whatever was refused or bounded among its keys.
    Outcome stored = StoreConfirmed(session, SettingGroup::Keys);
    session.Report().StateChanged();
    return stored;
}

Outcome ApplyOmeCode(Session& session, const OmeCodeValues& code)
{
    Settings& c = session.State().cfg;
    c.collect_code = code.collect;
    c.envelop_code = code.envelop;
    c.stop_code = code.stop;
    c.supply_count = Bound(Catalogued("supply_count"), code.supplyCount);
    c.seqchk_count = Bound(Catalogued("seqchk_count"), code.seqchkCount);
    c.use_stop = code.useStop;
    c.use_supply = code.useSupply;
    c.use_seqchk = code.useSeqchk;
    c.use_parity = code.useParity;
    c.use_security = code.useSecurity;
    ComputeCodeLength(c);
    if (Outcome stored = Written(session, SettingGroup::OmeCode); !stored.Ok()) {
        return stored;
    }
    // A file that never had the switch keeps it out until it is turned on.
    if (code.seqContinue && *code.seqContinue != c.seq_continue) {
        c.seq_continue = *code.seqContinue;
        return Written(session, SettingGroup::Sequence);
    }
    return {};
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

Outcome ApplyOmeLayout(Session& session, const OmeLayoutValues& layout)
{
    Settings& c = session.State().cfg;
    c.ome_x = layout.x;
    c.ome_y = layout.y;
    c.ome_a = layout.a;
    c.ome_b = layout.b;
    c.ome_d = layout.d;
    return Written(session, SettingGroup::OmeLayout);
}

Outcome ApplyPrintArea(Session& session, const PrintAreaValues& area)
{
    Settings& c = session.State().cfg;
    c.pclleftmm = Bound(Catalogued("pclleftmm"), area.pclLeft);
    c.pcltopmm = Bound(Catalogued("pcltopmm"), area.pclTop);
    c.stdleftmm = area.stdLeft;
    c.stdtopmm = area.stdTop;
    c.omeleftmm = area.omeLeft;
    c.ometopmm = area.omeTop;
    return Written(session, SettingGroup::PrintArea);
}

Outcome ApplyOrganize(Session& session, const OrganizeValues& organize)
{
    Settings& c = session.State().cfg;
    c.nEnvLimit = static_cast<std::int16_t>(Bound(Catalogued("envlimit"), organize.envelopeLimit));
    c.bEnvLimit = organize.limitOn;
    c.bManifest = organize.manifest;
    return Written(session, SettingGroup::Organize);
}

Outcome ApplyDmx(Session& session, const Settings& dmx)
{
    std::string example;
    if (std::optional<Failure> refused = DmxExample(dmx, example)) {
        return OutcomeOf(Action::Settings, std::move(refused));
    }
    Settings c = session.State().cfg;
    c.use_dmx = dmx.use_dmx;
    c.dmx_x = dmx.dmx_x;
    c.dmx_y = dmx.dmx_y;
    c.dmx_module = Bound(Catalogued("dmx_module"), dmx.dmx_module);
    c.dmx_quiet = Bound(Catalogued("dmx_quiet"), dmx.dmx_quiet);
    c.dmx_clear = dmx.dmx_clear;
    c.dmx_template = dmx.dmx_template;
    c.dmx_job = Bound(Catalogued("dmx_job"), dmx.dmx_job);
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
    session.State().cfg.dummyasc = Bound(Catalogued("dummyasc"), code);
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
