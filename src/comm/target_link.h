// Target link: the single entry to the target for the rest of the panel.
// Values, the cyclic refresh, CGI calls, alarm and trend queries, and files
// that may live on the target or locally (the native driver and file layer),
// on top of the HTTP client.
#pragma once
#include "transport/http_client.h"
#include "comm/ilr_driver.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "transport/file_layer.h"
