// One client connection of the embedded server, without its socket: the
// request's bytes as they arrive (the head, then the body up to its length),
// the answer to the complete request, and the reply waiting to be sent. Owns
// the connections' memory and its bound over all connections, and the time
// limits. Every call takes the time in milliseconds, so the server's poll loop
// and the fuzz target drive it the same way. Used by the server thread only.
#pragma once
#include <cstdint>

#include "httpd/http_request.h"

#define HC_MAX_BODY (1024L * 1024L)           // a longer body is refused unread
#define HC_MAX_REPLY (2L * 1024L * 1024L)     // a longer reply is cut
#define HC_MEMORY_BUDGET (8L * 1024L * 1024L) // bodies and replies of all connections
#define HC_ADDRESS_SIZE 64

// Time limits of a connection.
struct HcLimits {
    int headMs;      // the request head must have arrived this long after the accept
    int pauseMs;     // a request line other than a POST's is taken after this pause
    int graceMs;     // a body or a reply has this long before its rate counts
    int bytesPerSec; // the rate a body and a reply must keep after the grace time
    int stallMs;     // a reply of which the client takes nothing for this long is cut
    int drainMs;     // after the reply, the client's unread bytes are taken this long
};

enum HcPhase {
    HC_FREE,  // no connection
    HC_HEAD,  // receiving the request head
    HC_BODY,  // receiving the body
    HC_READY, // the request is complete, its answer is due
    HC_REPLY, // sending the reply
    HC_DRAIN, // answered: taking what the client still sends, then closing
};

struct HcConnection {
    int phase;
    uint64_t sequence;  // order of acceptance
    int64_t acceptedMs; // when the connection was accepted
    int64_t phaseMs;    // when the body, the reply or the drain began
    int64_t lastDataMs; // the last byte received
    int64_t lastSentMs; // the last byte the client took
    char head[HTTP_BUFFER_SIZE + 1];
    int headCount;
    char *body;    // the whole request (head included) while a body is due
    long bodySize; // bytes allocated
    long received; // bytes of the request in head or body
    long needed;   // head and body length
    int tooLarge;  // the body is longer than HC_MAX_BODY
    char *reply;
    long replySize; // bytes allocated
    long replyCount;
    long replySent;
    int interimSent; // the "100 Continue" went out when the head arrived
    int replyCut;
    int peerClosed; // the client has closed its side
    char clientAddress[HC_ADDRESS_SIZE];
};

// The limits in force; HC_setLimits changes them (tests) until HC_reset.
const HcLimits *HC_limits();
void HC_setLimits(const HcLimits *limits);
// Bytes of bodies and replies held by all connections.
long HC_memoryInUse();

// A new connection from address (text, may be empty).
void HC_open(HcConnection *k, uint64_t sequence, const char *address, int64_t now);
// Frees what the connection holds; its phase becomes HC_FREE.
void HC_close(HcConnection *k);
// Where the next received bytes go and how many fit; 0 when the connection
// takes no bytes now (not receiving, or no memory left for its body).
long HC_room(HcConnection *k, char **where);
// n bytes have arrived at the place HC_room gave.
void HC_received(HcConnection *k, long n, int64_t now);
// The client has closed its side: a request without its complete head is
// dropped (answers 0), a body that ends early is answered as it is.
int HC_peerClosed(HcConnection *k);
// Applies the time limits; answers 0 when the connection is to be closed now.
int HC_check(HcConnection *k, int64_t now);
// 1 when the answer to a complete request fits in the memory left.
int HC_canAnswer();
// Answers the complete request into the reply (HC_READY to HC_REPLY).
void HC_answer(HcConnection *k, int64_t now);
// The reply bytes not yet sent (size 0: none).
const char *HC_unsent(const HcConnection *k, long *size);
// n reply bytes have been taken by the socket; the whole reply sent in
// HC_REPLY moves the connection to HC_DRAIN.
void HC_sent(HcConnection *k, long n, int64_t now);
// Back to the default limits; forgets the memory count (no connection open).
void HC_reset();
