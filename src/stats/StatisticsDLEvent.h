#pragma once
// The download-time event: adds up the time the engine spends downloading.

class CStatisticsDLEvent {
public:
    CStatisticsDLEvent() = default;
};
