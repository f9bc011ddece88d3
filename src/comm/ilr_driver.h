// ILR read protocol: one POST per refresh that reads all points of the read
// list in an XML request. Chosen by the page parameter "SOAPIF" or by the
// target's GetSrvInfo.exe reply; writes go through the native protocol.
// Owns the probe flag and the reply buffer; builds the request in the RAM-disk
// file "_ILR_.req". Main thread only.
#pragma once

struct PpoList;
struct TargetDriver;

#define ILR_SIGNATURE "ILR=1, V.1.0"
#define ILR_REPLY_SIZE 65535 // a reply body of at most 65534 bytes

// Reads the page's choice of ILR and otherwise probes the target; may switch
// the native driver's service number to ILR.
void ILR_loadHtmlParameters(const char *page);
// The probe: asks the target's GetSrvInfo.exe whether it offers ILR, once per
// page. Always 1.
int ILR_getSrvInfo(const char *host);
// One cyclic read of the read list: 1 when the reply was read (its values are
// stored as far as they were found), 0 when the request could not be sent or
// no whole reply came back.
int ILR_readValues(const char *host, PpoList *list);
// The update cycle's read through ILR.
int SRVR_ILR_readValues(const char *host, PpoList *list);

const TargetDriver *ILR_getDriver();
// Probe not run, reply buffer empty.
void ILR_reset();
