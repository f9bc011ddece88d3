// ILR read protocol: one POST per refresh that reads all points of the read
// list in an XML request. Chosen by the page parameter "SOAPIF" or by the
// target's GetSrvInfo.exe reply; writes go through the native protocol.
#pragma once

struct PpoList;
struct TargetDriver;

// Reads the page's choice of ILR and probes the target; may switch the native
// driver's service number to ILR.
void ILR_loadHtmlParameters(const char *page);
// One cyclic read of the read list; 1 when the values were read.
int ILR_readValues(const char *host, PpoList *list);
// The update cycle's read through ILR.
int SRVR_ILR_readValues(const char *host, PpoList *list);

const TargetDriver *ILR_getDriver();
