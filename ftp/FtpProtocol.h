#pragma once

#include <QString>
#include <QtGlobal>

// Small pure pieces of the FTP control protocol, kept apart from the sockets
// so that they can be tested with real reply lines.

// The class of a reply line: its first character minus '0' (1 preliminary,
// 2 completed, 3 more input needed, 4 and 5 failure).
int FtpReplyClass(const QString& line);

// Data address of a PASV reply: the six numbers between the first "(" and
// the ")" after it, each 1 to 3 digits and at most 255. False when the
// parentheses are missing or any number is not such a number. The client
// uses only the port: the host is where the reply says the server waits.
bool ParseFtpPasvReply(const QString& reply, QString& host, int& port);

// Port of an EPSV reply: "229 Entering Extended Passive Mode (|||6446|)".
bool ParseFtpEpsvReply(const QString& reply, int& port);

// The PORT argument: the four numbers of the dotted address and the high and
// low byte of the port, joined by ",".
QString MakeFtpPortArgument(const QString& dottedAddress, int port);

// The EPRT argument: "|1|10.0.0.7|1025|" or "|2|::1|1025|".
QString MakeFtpEprtArgument(const QString& address, bool ipv6, int port);

// A server name of the settings: "host" or "host:port". A name without a port
// gets defaultPort. False for a port that is not a number in 1..65535.
bool SplitFtpServerName(const QString& serverName, QString& host, int& port, int defaultPort = 21);

// A server's reply shown inside a message: without the line end it came with.
QString FtpReplyText(const QString& reply);

// Milliseconds as seconds for a time-out message: "30", "0.2".
QString FtpSeconds(int ms);

// True when text holds a CR or LF as it goes on the wire, where each
// character is sent as its low 8 bits: U+010D and U+010A count as CR and LF.
bool HasFtpLineBreak(const QString& text);

// A name may become a local path or a remote path in a command only when it
// is a plain name on the wire: not empty, not "." or "..", and free of "/",
// "\", CR and LF, each judged by the low 8 bits that are sent.
bool IsSafeFtpName(const QString& name);

// Where an upload to path goes until it is whole: a hidden name beside the
// target, ".NAME.tessaro-part" in the same folder.
QString FtpPartPath(const QString& path);

// The size of a "213" reply to SIZE; false for any other reply.
bool ParseFtpSizeReply(const QString& reply, qint64& size);
