// Opens the web POS example in headless Chromium, fiscalises a cart through TELVANO's API and checks that the
// page shows the signed receipt and a QR image the browser could decode. Writes what it saw for the caller:
//   node web_pos_test.mjs --page URL --api URL --token TOKEN --out DIR [--chromium PATH]
// DIR/result.json (invoiceNumber, journal, verificationUrl), DIR/web-pos.png (the page), DIR/qr.png (the QR).
import fs from "node:fs";
import path from "node:path";
import puppeteer from "puppeteer-core";

function option(name, fallback) {
  const at = process.argv.indexOf("--" + name);
  if (at >= 0 && at + 1 < process.argv.length) return process.argv[at + 1];
  if (fallback === undefined) throw new Error("--" + name + " is missing");
  return fallback;
}

async function run() {
  const out = option("out");
  const browser = await puppeteer.launch({
    executablePath: option("chromium", "/usr/bin/chromium"),
    headless: true,
    // CI runs as root, where Chromium's sandbox cannot start.
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1100, height: 900 });
    page.on("console", (message) => console.log("page:", message.text()));
    await page.goto(option("page"), { waitUntil: "load" });
    await page.$eval("#api", (input, value) => { input.value = value; }, option("api"));
    await page.type("#token", option("token"));
    const products = await page.$$("#products button");
    await products[0].click();
    await products[0].click();
    await products[2].click();
    await page.click("#fiscalise");
    await page.waitForSelector("#receipt:not([hidden])", { timeout: 30000 });
    const shown = await page.evaluate(async () => {
      const qr = document.getElementById("qr");
      await qr.decode();
      return {
        invoiceNumber: document.getElementById("invoiceNumber").textContent,
        journal: document.getElementById("journal").textContent,
        verificationUrl: document.getElementById("verify").getAttribute("href"),
        qrWidth: qr.naturalWidth,
        status: document.getElementById("status").textContent,
      };
    });
    if (!shown.invoiceNumber || !shown.journal.includes(shown.invoiceNumber)) {
      throw new Error("the receipt does not show its invoice number: " + JSON.stringify(shown));
    }
    if (shown.qrWidth <= 0) throw new Error("the QR image was not decoded");
    await page.screenshot({ path: path.join(out, "web-pos.png") });
    await (await page.$("#qr")).screenshot({ path: path.join(out, "qr.png") });
    fs.writeFileSync(path.join(out, "result.json"), JSON.stringify(shown));
  } finally {
    await browser.close();
  }
}

run().then(
  () => process.exit(0),
  (error) => {
    console.error("web_pos_test:", error.message);
    process.exit(1);
  });
