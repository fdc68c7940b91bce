#include "app/VerifyCommand.h"

#include "app/ExportCommand.h"

namespace kuvrion {

VerifyOutcome RunVerify(Session& session, const VerifyRequest& request)
{
    const Settings& c = session.State().cfg;
    Reporter& reporter = session.Report();
    VerifyOutcome out;
    const auto finish = [&out](std::optional<Failure> failure) {
        static_cast<Outcome&>(out) = OutcomeOf(Action::Verify, std::move(failure));
        return out;
    };
    if (std::optional<Failure> refused = SeqStartRefusal(c, request.seqStart)) {
        out.run = {{}, refused};
        return finish(std::move(refused));
    }
    const Result<FeedRules> rules = session.FeedRulesOrRefusal();
    if (!rules) {
        out.run = {{}, rules.error()};
        return finish(rules.error());
    }
    VerifyOptions options;
    if (request.seqStart) {
        options.seqStart = static_cast<std::uint32_t>(*request.seqStart);
    }
    options.envelopes = request.envelopes;
    options.renumber = request.renumber;
    options.feed = rules->Empty() ? nullptr : &*rules;
    reporter.SetBusy(true);
    reporter.ShowStatus(4);
    out.run =
        VerifyJobFile(request.marked, c, request.source, nullptr, CheckHooks(reporter), options);
    reporter.ShowStatus(0);
    reporter.SetBusy(false);
    if (out.run.failure) {
        return finish(out.run.failure);
    }
    const std::string text = VerifyMessage(out.run.report);
    if (!out.run.Passed()) {
        return finish(Failure{FailureKind::CheckFailed, 0, 0, request.marked, text});
    }
    static_cast<Outcome&>(out) = Told({text, MessageKind::Information});
    return out;
}

} // namespace kuvrion
