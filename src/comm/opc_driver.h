// OPC XML-DA driver for Beckhoff targets: SOAP Read and Write requests to the
// web service named by the page parameter "XMLOPCWebserviceAdress".
#pragma once

struct PpoList;
struct TargetDriver;

void BH_loadHtmlParameters(const char *page);
int BH_connect(const char *host);
int BH_readValues(const char *host, PpoList *list);
int BH_writeValue(const char *host, const char *name, const char *itemName, const char *text);

const TargetDriver *BH_getDriver();
