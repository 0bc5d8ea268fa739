#ifndef TQ_LINK_RESULTTEXTS_H
#define TQ_LINK_RESULTTEXTS_H

// What a node's result codes mean, as the logs and the developer panel print
// them (UTF-8). Plain C++, no Qt.

// Status of an execute-command reply.
const char* commandStatusText(int status);

// Result of a file-write (firmware data) reply.
const char* fileWriteResultText(int result);

#endif // TQ_LINK_RESULTTEXTS_H
