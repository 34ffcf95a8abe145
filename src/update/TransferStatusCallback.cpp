#include "TransferStatusCallback.h"

#include "FtpUpdater.h"
#include "TransferProgressDlg.h"
#include "UpdateTexts.h"
#include "core/Percent.h"
#include "res/resource.h"

#include <cstdint>

namespace {
using UpdateText::kReceiving;
using UpdateText::kRequesting;

constexpr std::uint64_t kTransferMargin = 64 * 1024;

void EndTransfer(CFtpUpdater& updater) {
    if (updater.m_hConnection)
        ::InternetSetStatusCallback(updater.m_hConnection, nullptr);
    updater.CloseProgressWindow();
    // Closing the connection is what makes the running transfer fail.
    updater.CloseInternetHandles();
}
} // namespace

void CALLBACK TransferStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                     DWORD informationLength) {
    if (context == 0)
        return;
    auto* updater = reinterpret_cast<CFtpUpdater*>(context);
    switch (status) {
    case INTERNET_STATUS_SENDING_REQUEST:
        if (CTransferProgressDlg* progress = updater->m_progress.get()) {
            progress->SetStatusText(kRequesting);
            progress->ShowTransferControls();
        }
        break;
    case INTERNET_STATUS_REQUEST_SENT:
        if (updater->m_progress)
            updater->m_progress->SetStatusText(kReceiving);
        updater->m_bytesReceived = 0;
        break;
    case INTERNET_STATUS_RESPONSE_RECEIVED: {
        if (information && informationLength >= sizeof(DWORD))
            updater->m_bytesReceived += *static_cast<const DWORD*>(information);
        // Far more than the listing announced: a server that would not stop sending ends as a Cancel
        // does. The count may include the control connection's replies, hence the margin.
        if (updater->m_bytesReceived > updater->m_bytesExpected + kTransferMargin) {
            EndTransfer(*updater);
            break;
        }
        if (!updater->m_progress)
            break;
        updater->m_progress->SetPosition(TransferPercent(updater->m_bytesReceived, updater->m_bytesExpected));
        updater->PumpMessages();
        // The pumps may have let the window go; ask whatever is open now.
        if (updater->m_progress && updater->m_progress->IsCancelRequested())
            EndTransfer(*updater);
        break;
    }
    case INTERNET_STATUS_HANDLE_CREATED:
        updater->m_bytesReceived = 0;
        break;
    case INTERNET_STATUS_HANDLE_CLOSING:
        updater->CloseProgressWindow();
        break;
    default:
        break;
    }
}
