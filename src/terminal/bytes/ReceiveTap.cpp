#include "terminal/bytes/ReceiveTap.h"

bool C_ReceiveTap::AddRecorder(C_ByteRecorder* recorder) {
    if (!recorder || m_recorderCount == kMaximumRecorders)
        return false;
    m_recorders[m_recorderCount++] = recorder;
    return true;
}

void C_ReceiveTap::ProcessReceivedData(const uint8_t* data, uint32_t length) {
    for (uint32_t i = 0; i < m_recorderCount; ++i)
        m_recorders[i]->RecordBytes(ByteDirection::Received, data, length);
    m_inner.ProcessReceivedData(data, length);
}

void C_ReceiveTap::ProcessSentData(const uint8_t* data, uint32_t length) {
    for (uint32_t i = 0; i < m_recorderCount; ++i)
        m_recorders[i]->RecordBytes(ByteDirection::Sent, data, length);
    m_inner.ProcessSentData(data, length);
}
