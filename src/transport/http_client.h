// HTTP client to the target, the chief header of its parts: the relay request
// with its one kept-alive connection (relay), socket slots for exchanges that
// need their own connection (sockets), file downloads into the RAM disk and
// remote files (downloads), the target address and remote status
// (target_address), URL encoding of names and values (url_coding) and the
// portal login (login). Main thread; the relay request is also guarded
// against a second caller.
#pragma once
#include "transport/downloads.h"
#include "transport/login.h"
#include "transport/relay.h"
#include "transport/sockets.h"
#include "transport/target_address.h"
#include "transport/url_coding.h"
