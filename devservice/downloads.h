// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// The files of the download page: binary bodies with the same bytes on every run, so that a
// test can fetch them itself and compare.
struct BinaryFile
{
    std::string body;
    std::string contentType;
    std::string fileName;  // offered with "attachment"; empty: no Content-Disposition
    std::string asciiName; // the same for clients that read no UTF-8 name
};

// "homework.docx" or "data.bin" under "files/".
std::optional<BinaryFile> binaryFile(const std::string &name);
// Bytes [offset, offset + size) of "files/big.zip", any range of an endless stream.
std::string bigFileBytes(size_t offset, size_t size);
// The CSV the download page hands over as a data: URL.
std::string gradesCsv();
