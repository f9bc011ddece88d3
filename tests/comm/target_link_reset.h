// Brings the target link back to its state before start-up. Shared by the
// comm test fixtures and the protocol fuzz targets, so it includes nothing
// but the runtime's own headers.
#pragma once
#include "comm/ilr_driver.h"
#include "comm/modbus_driver.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/opc_driver.h"
#include "comm/ppo_update.h"
#include "comm/s7_driver.h"
#include "comm/tbox_driver.h"
#include "comm/wago_driver.h"
#include "data/process_points.h"
#include "data/value_store.h"
#include "transport/downloads.h"
#include "transport/file_layer.h"
#include "transport/login.h"
#include "transport/relay.h"
#include "transport/sockets.h"
#include "transport/target_address.h"
#include "view/page_params.h"

// Every module of the target link (HTTP client, file layer, drivers, update
// cycle) back to its state before start-up.
inline void resetTargetLink()
{
    SRVR_resetRelay();
    SRVR_resetSockets();
    SRVR_resetFiles();
    SRVR_resetAddress();
    SRVR_resetLogin();
    Tarsel_resetFiles();
    Tarsel_reset();
    SP_reset();
    ILR_reset();
    BH_reset();
    S7_reset();
    WG_reset();
    MB_reset();
    TBX_reset();
    PPO_resetUpdate();
}

// The page state of other layers that the target link works on: the read
// list, the local data server's store and counter, the page parameters.
inline void resetPageState()
{
    PPO_destroyList();
    DS_Reset();
    HT_resetParameters();
}
