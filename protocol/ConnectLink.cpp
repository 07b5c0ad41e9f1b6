#include "protocol/ConnectLink.h"

namespace amppanel {

std::optional<std::string> ConnectLink(OneShotWorker& thread, const ConnectContext& context) {
  Link& link = context.link;
  const auto report = [&](ConnectStep step) {
    if (context.progress) context.progress(step);
  };
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
    if (status != kLinkOk) {
      try {
        RaiseLinkError(context.profile, status, context.profile.connectLocation);
      } catch (const FT_Exception& e) {
        // The table's words say only that the port did not open; a remote
        // station's answer says why.
        const std::string problem = link.OpenProblem();
        if (problem.empty()) throw;
        throw FT_Exception(std::string(e.what()) + "\n\n" + problem);
      }
    }
    link.Configure();
    return std::nullopt;
  } catch (const FT_Exception& e) {
    // A link that opened but failed its configuration is not left half open.
    if (link.IsOpen()) link.Close();
    return std::string(e.what());
  }
}

}  // namespace amppanel
