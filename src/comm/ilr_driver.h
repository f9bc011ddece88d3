// ILR read protocol: one POST per refresh that reads all points of the read
// list in an XML request. Chosen by the page parameter "SOAPIF" or by the
// target's GetSrvInfo.exe reply.
#pragma once

struct PpoList;

// Reads the page's choice of ILR and probes the target; may switch the native
// driver's service number to ILR.
void ILR_loadHtmlParameters(const char *page);
// One cyclic read of the read list; 1 when the values were read.
int SRVR_ILR_readValues(const char *host, PpoList *list);
