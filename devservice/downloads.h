// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// The files behind the pages' upload and export links; small texts made up for the demo.
struct Download
{
    std::string body;
    std::string contentType; // without charset; all are UTF-8
    std::string fileName;
};

struct NoticeFile
{
    std::string path; // under "upload/notice/"
    std::string title;
};

// The notice attachments, newest first.
const std::vector<NoticeFile> &noticeFiles();
// The attachment at "upload/notice/<name>"; empty body if there is none.
Download noticeFile(const std::string &name);

Download studentExport(const std::string &classId);
Download attendanceExport(const std::string &classId);
Download salaryTemplate();
