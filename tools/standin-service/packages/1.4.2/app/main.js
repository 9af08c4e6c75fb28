// Sample add-in entry of the stand-in package.
window.CorvantaAnalysis = { version: "1.4.2" };
