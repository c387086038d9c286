#pragma once
#include <QString>
#include <cstdint>

// State of the file transfer between the PC tool and the device: the file
// being received or sent and the kind of file the request named.
struct KelFileDeal {
    QString file_name;
    uint32_t file_type = 0;
};
