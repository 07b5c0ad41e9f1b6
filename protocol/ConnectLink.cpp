#include "protocol/ConnectLink.h"

namespace amppanel {

std::optional<std::string> ConnectLink(OneShotWorker& thread, const ConnectContext& context) {
  Link& link = context.link;
  const auto report = [&](ConnectStep step) {
    if (context.progress) context.progress(step);
  };
  // Why the last attempt failed, when the link can say more than its status.
  std::string detail;
  try {
    int status = kLinkCantOpen;
    const bool portChosen =
        context.profile.link != LinkKind::kSerial || context.settings.comPort != 0;
    if (portChosen) {
      for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        const int opened = link.Open(context.settings);
        report(ConnectStep::kAttempted);
        if (opened == kLinkOk) {
          status = kLinkOk;
          break;
        }
        status = opened;
        if (context.stillWanted && !context.stillWanted()) {
          status = kLinkAborted;
          break;
        }
        thread.Sleep(kConnectPacing);
      }
    }
    report(ConnectStep::kAttemptsOver);
    // Kept after an abort too: it tells the operator why the attempts failed.
    if (status != kLinkOk) detail = link.OpenFailureDetail();
    RaiseLinkError(context.profile, status, context.profile.connectLocation);
    link.Configure();
    return std::nullopt;
  } catch (const FT_Exception& e) {
    // A link that opened but failed its configuration is not left half open.
    if (link.IsOpen()) link.Close();
    if (detail.empty()) return std::string(e.what());
    return std::string(e.what()) + "\n\n" + detail;
  }
}

}  // namespace amppanel
