#include "maintenance/ReportUpload.h"

bool PostReport(const ReportUpload&) {
    return false;
}
