#include "protocol/ConnectLink.h"

namespace amppanel {

void ConnectLink(OneShotWorker& thread, const ConnectContext& context) {
  Link& link = context.link;
  try {
    int status = kLinkCantOpen;
    const bool portChosen =
        context.profile.link != LinkKind::kSerial || context.settings.comPort != 0;
    if (portChosen) {
      for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        const int opened = link.Open(context.settings);
        thread.ReportStatus("RUN");
        if (opened == kLinkOk) {
          status = kLinkOk;
          break;
        }
        status = opened;
        if (context.progressVisible && !context.progressVisible()) {
          status = kLinkAborted;
          break;
        }
        thread.Sleep(kConnectPacing);
      }
    }
    thread.ReportStatus("HALT");
    RaiseLinkError(context.profile, status, context.profile.connectLocation);
    link.Configure();
    thread.ReportStatus("DONE");
  } catch (const FT_Exception& e) {
    // A link that opened but failed its configuration is not left half open.
    if (link.IsOpen()) link.Close();
    thread.ReportStatus("EXCEPT");
    if (context.reportLinkFailure) context.reportLinkFailure(e);
  }
}

}  // namespace amppanel
