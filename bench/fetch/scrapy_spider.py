#!/usr/bin/env python3
"""Scrapy peer of the fetch benchmark: the crawler's job done with Scrapy.

    python3 bench/fetch/scrapy_spider.py URL_FILE OUT_FILE

Fetches every URL of URL_FILE (one a line) with 64 concurrent requests,
robots.txt and cookies off, and writes one JSON line per URL to OUT_FILE:
{"url": ..., "status": ..., "page": base64 of the zlib-compressed body}.
Needs Debian's python3-scrapy; fetch_bench.py installs it when missing.
"""

import base64
import sys
import zlib

import scrapy
from scrapy.crawler import CrawlerProcess

CONCURRENCY = 64


class PageSpider(scrapy.Spider):
    name = "fetch_bench"

    def __init__(self, url_file, **kwargs):
        super().__init__(**kwargs)
        self.url_file = url_file

    def start_requests(self):
        with open(self.url_file) as fp:
            for line in fp:
                url = line.strip()
                if url:
                    yield scrapy.Request(url, callback=self.parse, dont_filter=True)

    def parse(self, response):
        yield {"url": response.url, "status": response.status,
               "page": base64.b64encode(zlib.compress(response.body)).decode("ascii")}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().split("\n")[2].strip())
    url_file, out_file = sys.argv[1:]
    # INFO keeps Scrapy's periodic stats and closing summary but not a line
    # per request; everything else is Scrapy's default behaviour.
    process = CrawlerProcess(settings={
        "CONCURRENT_REQUESTS": CONCURRENCY,
        "CONCURRENT_REQUESTS_PER_DOMAIN": CONCURRENCY,
        "ROBOTSTXT_OBEY": False,
        "COOKIES_ENABLED": False,
        "TELNETCONSOLE_ENABLED": False,
        "LOG_LEVEL": "INFO",
        "FEEDS": {out_file: {"format": "jsonlines", "encoding": "utf8", "overwrite": True}},
    })
    process.crawl(PageSpider, url_file=url_file)
    process.start()


if __name__ == "__main__":
    main()
