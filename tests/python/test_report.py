"""The report in a real browser: headless Chromium loads it without errors or
requests for other files, and every chart is drawn with its axis titles."""
import html
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BATCH = os.environ["VORN_BATCH"]
EXAMPLES = os.environ["VORN_EXAMPLES"]

# Put at the start of the page: records errors and requests, then the charts.
CHECK = """<script>
window.__errors = [];
window.addEventListener('error', e => window.__errors.push(String(e.message || (e.target && (e.target.src || e.target.href)) || 'error')), true);
window.addEventListener('load', () => {
  const charts = [...document.querySelectorAll('svg.chart')];
  const drawn = charts.filter(svg => {
    const series = [...svg.querySelectorAll('.series')];
    const titles = [...svg.querySelectorAll('.axis-title')].filter(t => t.getBBox().width > 0);
    return titles.length === 2 && series.length > 0 && series.every(s => { const b = s.getBBox(); return b.width > 0 || b.height > 0; });
  });
  document.body.setAttribute('data-check', JSON.stringify({
    errors: window.__errors, charts: charts.length, drawn: drawn.length,
    requests: performance.getEntriesByType('resource').map(r => r.name)}));
});
</script>"""


def browser():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return shutil.which(name)
    raise AssertionError("no Chromium to render the report (scripts/install-deps installs it)")


class ReportInBrowser(unittest.TestCase):
    def test_loads_and_draws_every_chart(self):
        cases = [("sic4h_n_two_donors.nT", ["--dhes", "--fit", "--one-impurity"], 5),
                 ("sic4h_p_al.pT", [], 4)]
        for example, args, least in cases:
            with self.subTest(example=example), tempfile.TemporaryDirectory() as tmp:
                subprocess.run([BATCH, "--report", "--quiet", "--output-dir", tmp, *args,
                                os.path.join(EXAMPLES, example)], check=True)
                page = os.path.join(tmp, example.rsplit(".", 1)[0] + ".html")
                with open(page, encoding="utf-8") as f:
                    text = f.read()
                self.assertNotRegex(text, r'(src|href)\s*=|@import|url\((?!#)')
                checked = os.path.join(tmp, "checked.html")
                with open(checked, "w", encoding="utf-8") as f:
                    f.write(text.replace("<head>", "<head>" + CHECK, 1))
                dom = subprocess.run([browser(), "--headless", "--no-sandbox", "--disable-gpu",
                                      "--virtual-time-budget=5000", "--dump-dom", "file://" + checked],
                                     capture_output=True, text=True, timeout=120).stdout
                found = re.search(r'data-check="([^"]*)"', dom)
                self.assertIsNotNone(found, "the page did not finish loading")
                check = json.loads(html.unescape(found.group(1)))
                self.assertEqual(check["errors"], [])
                self.assertEqual(check["requests"], [])
                self.assertGreaterEqual(check["charts"], least)
                self.assertEqual(check["drawn"], check["charts"])


if __name__ == "__main__":
    unittest.main()
