#pragma once
// IHttp over Qt Network: one GET at a time, run in a local event loop on
// the calling (user-interface) thread. User input is held back meanwhile,
// so the window repaints but takes no clicks. Only http and https; a
// redirect is followed only to the same scheme. Stateless between calls.

#include "platform/Http.h"

class HttpQt : public IHttp
{
public:
    HttpQt() = default;
    HttpResult get(const QUrl &url, int timeoutMs, qint64 maxBytes) override;
};
